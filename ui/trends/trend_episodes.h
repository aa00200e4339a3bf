// The episodes of values beyond their limits in a range of the archive, as the archive's
// events list them (limits/limit_episodes.h over the passes' frames, each pass in its frame
// counter's order), each with the key and time of its first frame so that the Trends window
// can open that frame in the main window. Read in a query's thread, never the window's: a
// whole mission takes seconds, a range proportionally less.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/archive_queries.h"
#include "limits/limit_episodes.h"

namespace quilmar {

class Archive;

struct TrendEpisode {
  LimitEpisode episode;
  std::int64_t firstKey = 0;  // the frame table's key of its first frame
  double firstTime = 0.0;     // that frame's time, seconds since the Unix epoch
};

struct TrendEpisodes {
  std::vector<TrendEpisode> episodes;  // by pass, then first frame, then catalogue row
  bool more = false;                   // the range holds more than were read
};

// A view holds at most this many episodes listed: more say a range too wide to read one by
// one, and reading stops there.
inline constexpr std::size_t kMostEpisodesListed = 500;

// The episodes of the timed frames in range (both ends inclusive; an episode is cut where the
// range cuts its pass), at most `most`: one more found sets `more` and ends the read. False
// with the archive's Error() set, or when cancelled (error empty).
bool ReadTrendEpisodes(Archive& archive, const LimitSet& limits, const ExportRange& range,
                       std::size_t most, TrendEpisodes& read, const std::atomic<bool>& cancelled);

// The range of a view [from, to] in seconds: its first and last whole millisecond.
ExportRange EpisodeRangeOf(double from, double to);

}  // namespace quilmar
