// Episodes of values beyond their limits; see limit_episodes.h.
#include "limit_episodes.h"

#include <algorithm>
#include <cmath>

#include "value_names.h"

namespace quilmar {

EpisodeTracker::EpisodeTracker(const LimitSet& limits,
                               std::function<bool(const LimitEpisode&)> each)
    : limits(limits), each(std::move(each)), open(limits.Values().size()) {}

void EpisodeTracker::Frame(const FrameRecord& record, std::string_view timeUtc,
                           std::span<const std::string> stations) {
  const std::vector<ValueLimits>& values = limits.Values();
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int row = values[i].row;
    if (!record.HasSection(kParameterCatalogue[static_cast<std::size_t>(row)].section)) {
      continue;
    }
    const LimitCheck state = persistence.Step(row, limits.Check(row, record));
    Open& value = open[i];
    if (value.open && (state.Normal() || state.direction != value.episode.direction)) {
      Close(value);
    }
    if (!state.Normal()) {
      Add(value, record, state, timeUtc, stations);
    }
  }
  ++frameInPass;
}

void EpisodeTracker::Add(Open& value, const FrameRecord& record, const LimitCheck& state,
                         std::string_view timeUtc, std::span<const std::string> stations) {
  LimitEpisode& episode = value.episode;
  const int row = state.limits->row;
  const double reading = record.values[static_cast<std::size_t>(row)];
  const bool worse = !value.open || state.level > episode.worst;
  if (!value.open) {
    episode = LimitEpisode{};
    episode.row = row;
    episode.direction = state.direction;
    episode.worst = state.level;
    episode.firstUtc = timeUtc;
    episode.firstFrame = frameInPass;
    episode.worstValue = reading;
    value.open = true;
  }
  episode.worst = std::max(episode.worst, state.level);
  episode.lastUtc = timeUtc;
  ++episode.frames;
  if (state.direction == LimitDirection::kState) {
    if (worse) {
      episode.worstText =
          std::isnan(reading) ? "NaN" : ShownStateText(row, reading).value_or(std::string());
    }
  } else if (!std::isnan(reading)) {
    // A NaN may sit inside a low or high episode while persistence holds its state.
    const bool low = state.direction == LimitDirection::kLow;
    if (std::isnan(episode.worstValue) ||
        (low ? reading < episode.worstValue : reading > episode.worstValue)) {
      episode.worstValue = reading;
    }
  }
  for (const std::string& station : stations) {
    const auto place = std::lower_bound(episode.stations.begin(), episode.stations.end(), station);
    if (place == episode.stations.end() || *place != station) {
      episode.stations.insert(place, station);
    }
  }
}

void EpisodeTracker::Close(Open& value) {
  closed.push_back(std::move(value.episode));
  value.open = false;
}

bool EpisodeTracker::EndPass() {
  for (Open& value : open) {
    if (value.open) {
      Close(value);
    }
  }
  std::stable_sort(closed.begin(), closed.end(), [](const LimitEpisode& a, const LimitEpisode& b) {
    return a.firstFrame != b.firstFrame ? a.firstFrame < b.firstFrame : a.row < b.row;
  });
  bool going = true;
  for (const LimitEpisode& episode : closed) {
    if (going && !each(episode)) {
      going = false;
    }
  }
  closed.clear();
  persistence.Reset();
  frameInPass = 0;
  return going;
}

}  // namespace quilmar
