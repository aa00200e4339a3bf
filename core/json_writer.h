// The stored frames of a log, with the load's summary, as one JSON object.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "frame_table.h"
#include "kiss_reader.h"

namespace quilmar {

// file is the log's path as the user gave it; false when the stream failed.
bool WriteJson(std::ostream& out, std::string_view file, const FrameTable& table,
               const LoadSummary& summary);

// The object of one frame with its 1-based index, on one line without its end: the frames
// array's element, and a JSON Lines record of live reception.
void AppendJsonFrame(std::string& out, int index, const FrameRecord& record);

}  // namespace quilmar
