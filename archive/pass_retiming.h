// Re-timing the passes a write touched: the frames whose clock, reception or present time lie
// near the times a source brought are read back (with whatever else belongs to their passes),
// timed again as a whole (pass_timing.h), and every frame whose time or kind changed is
// written, with its pass rows and hours of the overview. The result is a function of all the
// frames and receptions archived, never of the order they came in.
#pragma once

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

namespace quilmar {

class Archive;

// The times (Unix milliseconds) a write brought, gathered as few merged intervals.
class TouchedTimes {
 public:
  void Add(std::int64_t ms);
  bool Empty() const { return intervals.empty(); }
  // Merged, in time order; intervals closer than a pass gap are one.
  std::vector<std::pair<std::int64_t, std::int64_t>> Intervals();

 private:
  void Compact();
  std::vector<std::pair<std::int64_t, std::int64_t>> intervals;
  std::size_t compactedSize = 0;
};

// Inside the caller's write transaction. False with the archive's Error() set.
bool RetimePasses(Archive& archive, TouchedTimes& touched);

// Receptions by one more station of frames archived already, which changed no frame's
// clocks: every pass holding one of them (at the frames' times) lists the station too.
bool AddStationToPasses(Archive& archive, TouchedTimes& frameTimes, const QString& station);

}  // namespace quilmar
