// The stored frames of a log as CSV: one row per frame, one column per catalogue row.
#pragma once

#include <ostream>

#include "frame_table.h"

namespace quilmar {

// Writes the header row and one row per stored frame; false when the stream failed.
bool WriteCsv(std::ostream& out, const FrameTable& table);

}  // namespace quilmar
