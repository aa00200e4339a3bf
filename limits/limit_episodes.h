// Episodes of values beyond their limits: a run, in time order, of the frames carrying a
// value whose state (after persistence) is beyond a bound in one direction. A frame within
// limits, a change of direction or the end of a pass ends it; a frame that did not carry the
// value's section neither adds to it nor ends it. What the archive's events list, and what a
// view over a range of frames can list.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "limit_set.h"

namespace quilmar {

struct LimitEpisode {
  int row = -1;
  LimitDirection direction = LimitDirection::kNone;
  LimitLevel worst = LimitLevel::kYellow;
  std::string firstUtc;
  std::string lastUtc;
  std::int64_t frames = 0;
  std::int64_t firstFrame = 0;  // the ordinal of its first frame in the pass, from 0
  // Low: the lowest value, high: the highest; a state: the shown text of the first frame at
  // the worst level ("EMERGENCY", "NaN").
  double worstValue = 0;
  std::string worstText;
  std::vector<std::string> stations;  // every station that received one of its frames, sorted
};

class EpisodeTracker {
 public:
  // Closed episodes of a pass go to `each` at the pass's end, ordered by their first frame
  // and then by catalogue row.
  EpisodeTracker(const LimitSet& limits, std::function<bool(const LimitEpisode&)> each);

  // The next frame of the pass in time order.
  void Frame(const FrameRecord& record, std::string_view timeUtc,
             std::span<const std::string> stations);
  // Ends the pass: its episodes are handed over, persistence starts afresh. False when
  // `each` returned false.
  bool EndPass();

 private:
  struct Open {
    bool open = false;
    LimitEpisode episode;
  };
  void Add(Open& open, const FrameRecord& record, const LimitCheck& state, std::string_view timeUtc,
           std::span<const std::string> stations);
  void Close(Open& open);

  const LimitSet& limits;
  std::function<bool(const LimitEpisode&)> each;
  LimitPersistence persistence;
  std::vector<Open> open;  // by index into limits.Values()
  std::vector<LimitEpisode> closed;
  std::int64_t frameInPass = 0;
};

}  // namespace quilmar
