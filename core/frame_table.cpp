// Storage of the stored frames; see frame_table.h.
#include "frame_table.h"

namespace quilmar {

// Texts are emptied in place so a reused record keeps its buffers: a load allocates nothing
// per frame once the table has been filled before.
void FrameRecord::Clear() {
  values.fill(0.0);
  dateTime.clear();
  weekday.clear();
  frameNumber = 0;
  frameType = 0;
  primaryCounter = 0;
  secondaryCounter = 0;
  hexDump.clear();
  comText.clear();
  frameTypeLetter.clear();
}

bool FrameRecord::HasSection(Section section) const {
  return values[static_cast<std::size_t>(SectionInfoOf(section).firstRow)] != 0.0;
}

FrameTable::FrameTable() : records(kFrameTableCapacity) {}

}  // namespace quilmar
