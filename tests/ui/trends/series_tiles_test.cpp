// Min/max decimation against a brute-force scan of random series with passes and gaps.
#include "ui/trends/min_max_decimation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace quilmar {
namespace {

// Passes of samples a few seconds apart, with gaps from seconds to days between them, and
// now and then a spike or two samples at one time.
std::vector<TimedValue> RandomSeries(std::mt19937& random) {
  std::vector<TimedValue> series;
  double time = 1.7e9 + std::uniform_real_distribution<double>(0, 1e6)(random);
  const int passes = std::uniform_int_distribution<int>(1, 40)(random);
  for (int pass = 0; pass < passes; ++pass) {
    const int samples = std::uniform_int_distribution<int>(1, 300)(random);
    for (int i = 0; i < samples; ++i) {
      double value = std::normal_distribution<double>(7.4, 0.3)(random);
      if (random() % 97 == 0) {
        value += (random() % 2 ? 1 : -1) * 50.0;
      }
      series.push_back({time, value});
      time += random() % 50 == 0 ? 0.0 : std::uniform_real_distribution<double>(1, 30)(random);
    }
    time += std::uniform_real_distribution<double>(1, 3 * 86400.0)(random);
  }
  return series;
}

DecimationRange RandomRange(const std::vector<TimedValue>& series, std::mt19937& random) {
  const double first = series.front().time;
  const double last = series.back().time;
  std::uniform_real_distribution<double> inside(first - 100, last + 100);
  double from = inside(random);
  double to = inside(random);
  if (random() % 3 == 0) {
    from = first;
    to = last;
  }
  return {std::min(from, to), std::max(from, to),
          std::uniform_int_distribution<int>(1, 2000)(random)};
}

TEST(MinMaxDecimation, KeepsEveryColumnsExtremesAndEveryGap) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const std::vector<TimedValue> series = RandomSeries(random);
    const DecimationRange range = RandomRange(series, random);
    const std::vector<DecimatedPoint> points = DecimateMinMax(series, range);

    // Brute force: the in-range samples of each column, and whether a gap precedes the
    // column's first sample.
    std::vector<std::vector<TimedValue>> columns(range.columns);
    std::vector<bool> gapBefore(range.columns, false);
    const TimedValue* earlier = nullptr;
    for (const TimedValue& sample : series) {
      if (sample.time < range.from || sample.time > range.to) {
        continue;
      }
      const double share = (sample.time - range.from) / (range.to - range.from);
      const int column = std::clamp(static_cast<int>(share * range.columns), 0, range.columns - 1);
      if (columns[column].empty()) {
        gapBefore[column] = earlier == nullptr || sample.time - earlier->time > kPassGapSeconds;
      }
      columns[column].push_back(sample);
      earlier = &sample;
    }

    std::size_t next = 0;
    for (int column = 0; column < range.columns; ++column) {
      const auto& raw = columns[column];
      std::vector<DecimatedPoint> out;
      while (next < points.size() && ColumnOfTime(points[next].time, range) == column) {
        out.push_back(points[next++]);
      }
      ASSERT_EQ(raw.empty(), out.empty()) << "column " << column;
      if (raw.empty()) {
        continue;
      }
      ASSERT_LE(out.size(), 2u) << "column " << column;
      const auto [low, high] = std::minmax_element(
          raw.begin(), raw.end(), [](auto& a, auto& b) { return a.value < b.value; });
      auto has = [&](double value) {
        return std::any_of(out.begin(), out.end(), [&](auto& p) { return p.value == value; });
      };
      EXPECT_TRUE(has(low->value)) << "column " << column << " lost its minimum";
      EXPECT_TRUE(has(high->value)) << "column " << column << " lost its maximum";
      EXPECT_EQ(out.front().startsLine, gapBefore[column]) << "column " << column;
      EXPECT_FALSE(out.back().startsLine && out.size() == 2) << "column " << column;
      for (const DecimatedPoint& p : out) {
        EXPECT_TRUE(std::any_of(raw.begin(), raw.end(),
                                [&](auto& s) { return s.time == p.time && s.value == p.value; }))
            << "column " << column << " drew a point that is no sample";
      }
      EXPECT_LE(out.front().time, out.back().time);
    }
    EXPECT_EQ(next, points.size()) << "points out of time order or outside the range";
  }
}

// A line breaks only where more than the pass gap passed: frames exactly the gap apart are
// still one pass, as the archive counts passes.
TEST(MinMaxDecimation, BreaksTheLineOnlyBeyondThePassGap) {
  struct Case {
    const char* name;
    double step;
    bool breaks;
  };
  const Case cases[] = {
      {"a second short of the gap", kPassGapSeconds - 1, false},
      {"exactly the gap", kPassGapSeconds, false},
      {"a second beyond the gap", kPassGapSeconds + 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<TimedValue> samples = {{0, 1.0}, {c.step, 2.0}};
    // Enough columns that the two frames fall in columns of their own.
    const std::vector<DecimatedPoint> drawn = DecimateMinMax(samples, {0, c.step, 100});
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_TRUE(drawn[0].startsLine);
    EXPECT_EQ(drawn[1].startsLine, c.breaks);
  }
}

}  // namespace
}  // namespace quilmar
