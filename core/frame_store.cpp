// Storing accepted frames; see frame_store.h.
#include "frame_store.h"

namespace quilmar {

FrameStore::FrameStore(FrameTable& table) : table(table) { table.frameCount = 0; }

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
  return index;
}

}  // namespace quilmar
