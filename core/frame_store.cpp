// Storing accepted frames; see frame_store.h.
#include "frame_store.h"

namespace quilmar {

FrameStore::FrameStore(FrameTable& table) : table(table) { table.frameCount = 0; }

// A load writes about 1.5 kB per record (its values and its hex text on the heap) across a
// table larger than the cache, and waiting for those lines took a third of a 5000-frame load.
// They are fetched while the next frames are de-framed: the record after next, and the hex
// text of the next one, whose record was fetched the step before.
void FrameStore::Prefetch(int index) const {
  if (index + 1 <= kFrameTableCapacity) {
    const auto* record = reinterpret_cast<const char*>(&table.Record(index + 1));
    for (std::size_t line = 0; line < sizeof(FrameRecord); line += 64) {
      __builtin_prefetch(record + line, 1);
    }
  }
  if (index <= kFrameTableCapacity) {
    const std::string& hexDump = table.Record(index).hexDump;
    for (std::size_t line = 0; line < hexDump.capacity(); line += 64) {
      __builtin_prefetch(hexDump.data() + line, 1);
    }
  }
}

int FrameStore::Append(const FrameBuffer& frame) {
  if (Full()) {
    ++framesSkipped;
    return 0;
  }
  const int index = ++table.frameCount;
  FrameRecord& record = table.Record(index);
  record.Clear();
  FillFrameRecord(frame, record);
  if (index >= 2) {
    missing.AddStep(table.Record(index - 1).frameNumber, record.frameNumber);
  }
  Prefetch(index + 1);
  return index;
}

}  // namespace quilmar
