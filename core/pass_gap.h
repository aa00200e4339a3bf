// When a pass is over: no frame for ten minutes. A pass over a ground station lasts about
// a quarter of an hour and the next one comes at least an orbit (some 90 minutes) later, so
// a silence of ten minutes within a pass is a lost link, not a new pass. The archive's pass
// list, the window's new table per pass and the trend lines' gaps all use it.
#pragma once

namespace quilmar {

inline constexpr int kPassGapSeconds = 10 * 60;

}  // namespace quilmar
