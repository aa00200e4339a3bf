// Storage of the stored frames; see frame_table.h.
#include "frame_table.h"

namespace quilmar {

void FrameRecord::Clear() { *this = FrameRecord{}; }

bool FrameRecord::HasSection(Section section) const {
  return values[static_cast<std::size_t>(SectionInfoOf(section).firstRow)] != 0.0;
}

FrameTable::FrameTable() : records(kFrameTableCapacity) {}

}  // namespace quilmar
