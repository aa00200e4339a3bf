// The stored frames of a log as CSV: one row per frame, one column per catalogue row.
#pragma once

#include <ostream>
#include <string>

#include "frame_table.h"

namespace quilmar {

// Writes the header row and one row per stored frame; false when the stream failed.
bool WriteCsv(std::ostream& out, const FrameTable& table);

// The header row, and the row of one frame with its 1-based index, CRLF-terminated: for
// writers that produce rows one at a time (live reception).
void AppendCsvHeader(std::string& row);
void AppendCsvRow(std::string& row, int index, const FrameRecord& record);

}  // namespace quilmar
