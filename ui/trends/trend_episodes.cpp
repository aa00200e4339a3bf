// The episodes in a range of the archive; see trend_episodes.h.
#include "trend_episodes.h"

#include <QDateTime>
#include <QTimeZone>
#include <cmath>
#include <string>

#include "archive/archive.h"
#include "archive/archive_events.h"
#include "archive/archive_passes.h"

namespace quilmar {

bool ReadTrendEpisodes(Archive& archive, const LimitSet& limits, const ExportRange& range,
                       std::size_t most, TrendEpisodes& read, const std::atomic<bool>& cancelled) {
  const std::optional<std::vector<ArchivedPass>> passes =
      PassesBetween(archive, range.from, range.to);
  if (!passes) {
    return false;
  }
  // The keys and times of the pass's frames so far, by their ordinal in the pass: an episode
  // knows its first frame by that ordinal alone.
  std::vector<std::int64_t> keys;
  std::vector<double> times;
  EpisodeTracker tracker(limits, [&](const LimitEpisode& episode) {
    if (read.episodes.size() == most) {
      read.more = true;
      return false;
    }
    const auto first = static_cast<std::size_t>(episode.firstFrame);
    read.episodes.push_back({episode, keys[first], times[first]});
    return true;
  });
  ArchivedEpisodeFeed feed(tracker);
  const auto eachFrame = [&](const ArchivedFrameRead& frame) {
    keys.push_back(frame.key);
    const QDateTime at = QDateTime::fromString(frame.time, Qt::ISODateWithMs);
    times.push_back(at.isValid() ? static_cast<double>(at.toMSecsSinceEpoch()) / 1000.0 : 0.0);
    feed.Frame(frame);
    return !cancelled.load();
  };
  const auto passEnd = [&] {
    const bool going = tracker.EndPass();
    keys.clear();
    times.clear();
    return going && !cancelled;
  };
  const bool ok = ReadFramesOfPasses(archive, *passes, range.from, range.to, eachFrame, passEnd);
  // A read stopped by a full list is a list all the same.
  return !cancelled && (ok || read.more);
}

ExportRange EpisodeRangeOf(double from, double to) {
  const auto at = [](double milliseconds) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(milliseconds), QTimeZone::utc());
  };
  return {at(std::ceil(from * 1000.0)), at(std::floor(to * 1000.0))};
}

}  // namespace quilmar
