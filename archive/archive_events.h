// The archive's events: each episode of a value beyond its limits (limits/limit_episodes.h)
// over the archived passes, as CSV or JSON. Frames are read pass by pass, each pass in its
// frame counter's order, so memory holds one pass at most, never the archive.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "archive_passes.h"
#include "archive_queries.h"
#include "limits/limit_episodes.h"
#include "limits/limit_set.h"

namespace quilmar {

class Archive;

// Hands the frames read back from the archive (ReadFramesOfPasses) to an episode tracker: the
// values alone decoded (not the hex text nor the header fields of a whole record), the time
// and the stations as the tracker keeps them.
class ArchivedEpisodeFeed {
 public:
  explicit ArchivedEpisodeFeed(EpisodeTracker& tracker) : tracker(tracker) {}
  void Frame(const ArchivedFrameRead& frame);

 private:
  EpisodeTracker& tracker;
  FrameRecord record;
  std::string time;
  std::vector<std::string> stations;
  QStringList lastStations;  // the stations converted above
};

// The CSV header, exactly.
inline constexpr char kEventsCsvHeader[] =
    "parameter,direction,worst,first_utc,last_utc,frames,worst_value,stations";

// The episodes of the timed frames in the range (both ends inclusive; an episode is cut where
// the range cuts its pass), ordered by pass, then by first frame, then by catalogue row.
// Frames without a time belong to no pass and are left out. False with the archive's Error()
// set, or when the stream failed (error empty).
bool WriteEvents(Archive& archive, const LimitSet& limits, const ExportRange& range,
                 ArchiveFormat format, std::ostream& out);

}  // namespace quilmar
