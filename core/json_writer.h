// The stored frames of a log, with the load's summary, as one JSON object.
#pragma once

#include <ostream>
#include <string_view>

#include "frame_table.h"
#include "kiss_reader.h"

namespace quilmar {

// file is the log's path as the user gave it; false when the stream failed.
bool WriteJson(std::ostream& out, std::string_view file, const FrameTable& table,
               const LoadSummary& summary);

}  // namespace quilmar
