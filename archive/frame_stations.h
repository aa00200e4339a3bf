// The stations that received a housekeeping frame, looked up by the frame's key (or by its
// UTC second): what the Trends window's hover names for the one point under the pointer.
#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>

namespace quilmar {

class Archive;

// The stations, sorted and each once, that received the housekeeping frames timed at
// utcSeconds (seconds since the Unix epoch; several frames may share a second). Empty when
// no reception of such a frame is recorded; nullopt with archive.Error() set when the archive
// failed.
std::optional<QStringList> HousekeepingStationsAt(Archive& archive, std::int64_t utcSeconds);

// The same for the one frame with key frameKey: a second may hold frames of two passes' worth
// of stations once clocks disagree.
std::optional<QStringList> FrameStations(Archive& archive, std::int64_t frameKey);

}  // namespace quilmar
