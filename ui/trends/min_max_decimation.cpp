// Min/max decimation per pixel column; see min_max_decimation.h.
#include "min_max_decimation.h"

#include <algorithm>
#include <cmath>

namespace quilmar {
namespace {

// The samples of one column seen so far: where its lowest and highest value stand, and
// whether a gap came before its first sample.
struct Column {
  std::size_t lowest = 0;
  std::size_t highest = 0;
  bool afterGap = false;
};

void EmitColumn(const Column& column, std::span<const TimedValue> samples,
                std::vector<DecimatedPoint>& out) {
  const std::size_t first = std::min(column.lowest, column.highest);
  const std::size_t second = std::max(column.lowest, column.highest);
  out.push_back({samples[first].time, samples[first].value, column.afterGap});
  if (second != first) {
    out.push_back({samples[second].time, samples[second].value, false});
  }
}

}  // namespace

int ColumnOfTime(double time, const DecimationRange& range) {
  const double span = range.to - range.from;
  if (range.columns <= 0 || !(span > 0.0)) {
    return 0;
  }
  const double column = std::floor((time - range.from) / span * range.columns);
  return static_cast<int>(std::clamp(column, 0.0, static_cast<double>(range.columns - 1)));
}

std::vector<DecimatedPoint> DecimateMinMax(std::span<const TimedValue> samples,
                                           const DecimationRange& range, double gapSeconds) {
  std::vector<DecimatedPoint> out;
  if (range.columns <= 0 || !(range.to >= range.from)) {
    return out;
  }
  out.reserve(std::min<std::size_t>(samples.size(), 2 * static_cast<std::size_t>(range.columns)));
  Column column;
  int current = -1;
  bool haveEarlier = false;  // a sample in range came before
  double earlierTime = 0.0;
  // Samples are in time order: start at the range and stop after it, so that a zoomed-in
  // view of a long series costs only what it shows.
  const auto start =
      std::lower_bound(samples.begin(), samples.end(), range.from,
                       [](const TimedValue& sample, double time) { return sample.time < time; });
  for (auto i = static_cast<std::size_t>(start - samples.begin()); i < samples.size(); ++i) {
    const TimedValue& sample = samples[i];
    if (sample.time > range.to) {
      break;
    }
    if (std::isnan(sample.value)) {
      continue;
    }
    const bool gap = !haveEarlier || sample.time - earlierTime > gapSeconds;
    haveEarlier = true;
    earlierTime = sample.time;
    const int index = ColumnOfTime(sample.time, range);
    if (index != current) {
      if (current >= 0) {
        EmitColumn(column, samples, out);
      }
      current = index;
      column = {i, i, gap};
      continue;
    }
    if (sample.value < samples[column.lowest].value) {
      column.lowest = i;
    }
    if (sample.value > samples[column.highest].value) {
      column.highest = i;
    }
  }
  if (current >= 0) {
    EmitColumn(column, samples, out);
  }
  return out;
}

}  // namespace quilmar
