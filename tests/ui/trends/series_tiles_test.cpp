// The Trends chart's tiles against a brute-force scan of random series with passes and gaps:
// which width a view is painted at, every column's extremes and every gap kept across tile
// edges, a coarser tile standing in until the finer one is read, the least recently used
// tiles going while a view pans across years, and new frames dropping the tiles they fall in.
#include "ui/trends/series_tiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "core/pass_gap.h"

namespace quilmar {
namespace {

constexpr int kRow = 18;

struct Frame {
  double time = 0.0;
  double value = 0.0;
};

// Passes of frames a few seconds apart (whole seconds, as the archive keeps them), with gaps
// from seconds to days between them, and now and then a spike or two frames in one second.
std::vector<Frame> RandomSeries(std::mt19937& random) {
  std::vector<Frame> series;
  double time = std::floor(1.7e9 + std::uniform_real_distribution<double>(0, 1e6)(random));
  const int passes = std::uniform_int_distribution<int>(1, 40)(random);
  for (int pass = 0; pass < passes; ++pass) {
    const int frames = std::uniform_int_distribution<int>(1, 300)(random);
    for (int i = 0; i < frames; ++i) {
      double value = std::normal_distribution<double>(7.4, 0.3)(random);
      if (random() % 97 == 0) {
        value += (random() % 2 ? 1 : -1) * 50.0;
      }
      series.push_back({time, value});
      time += random() % 50 == 0 ? 0.0 : std::uniform_int_distribution<int>(1, 30)(random);
    }
    time += std::floor(std::uniform_real_distribution<double>(1, 3 * 86400.0)(random));
  }
  return series;
}

// A tile as the archive answers it: per column the first and last frame's time and the
// extremes, a gap point where more than the pass gap passed since the column before.
Tile TileOf(const std::vector<Frame>& series, const TileKey& key) {
  const auto width = static_cast<double>(kTileColumnSeconds[key.rung]);
  const auto start = static_cast<double>(TileStart(key));
  const double end = start + static_cast<double>(TileSeconds(key.rung));
  std::map<std::int64_t, TilePoint> columns;
  const auto first = std::lower_bound(series.begin(), series.end(), start,
                                      [](const Frame& f, double t) { return f.time < t; });
  for (auto it = first; it != series.end() && it->time < end; ++it) {
    const Frame& frame = *it;
    const auto column = static_cast<std::int64_t>(std::floor((frame.time - start) / width));
    auto [at, added] =
        columns.try_emplace(column, TilePoint{frame.time, frame.value, frame.value, frame.time});
    at->second.low = std::min(at->second.low, frame.value);
    at->second.high = std::max(at->second.high, frame.value);
    at->second.last = std::max(at->second.last, frame.time);
  }
  Tile tile;
  const double gap = std::numeric_limits<double>::quiet_NaN();
  for (const auto& [column, point] : columns) {
    if (!tile.points.empty() && point.time - tile.points.back().last > kPassGapSeconds) {
      tile.points.push_back({point.time - 1, gap, gap, point.time - 1});
    }
    tile.points.push_back(point);
  }
  return tile;
}

// Reads every tile a view lacks, as the window does once they arrive.
void ReadMissing(SeriesTiles& tiles, const std::vector<Frame>& series, double from, double to,
                 int columns, int* reads = nullptr) {
  for (const TileKey& key : tiles.Gather(kRow, from, to, columns).missing) {
    tiles.Put(key, TileOf(series, key));
    if (reads) {
      ++*reads;
    }
  }
}

TEST(SeriesTiles, TheViewsWidthIsTheWidestNoWiderThanAPixel) {
  struct Case {
    double secondsPerColumn;
    std::int64_t width;
  };
  const Case cases[] = {{0.05, 1},      {1.0, 1},       {1.99, 1},         {2.0, 2},
                        {59.9, 32},     {60.0, 60},     {3599.0, 1920},    {3600.0, 3600},
                        {7199.0, 3600}, {7200.0, 7200}, {1e12, 3600 << 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.secondsPerColumn);
    EXPECT_EQ(kTileColumnSeconds[RungFor(c.secondsPerColumn)], c.width);
  }
  // Each width is at most twice the one below, and a tile of frames lies in one tile of every
  // width, so that new frames drop whole tiles.
  for (std::size_t rung = 1; rung < kTileColumnSeconds.size(); ++rung) {
    SCOPED_TRACE(rung);
    EXPECT_LE(kTileColumnSeconds[rung], 2 * kTileColumnSeconds[rung - 1]);
    EXPECT_EQ(TileSeconds(static_cast<int>(rung)) % TileSeconds(kFrameRung), 0);
  }
}

TEST(SeriesTiles, KeepsEveryColumnsExtremesAndEveryGapAcrossTileEdges) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const std::vector<Frame> series = RandomSeries(random);
    std::uniform_real_distribution<double> inside(series.front().time - 100,
                                                  series.back().time + 100);
    double from = inside(random), to = inside(random);
    if (random() % 3 == 0) {
      from = series.front().time;
      to = series.back().time;
    }
    if (from > to) {
      std::swap(from, to);
    }
    to = std::max(to, from + 1);
    const int columns = std::uniform_int_distribution<int>(1, 2000)(random);
    SeriesTiles tiles;
    ReadMissing(tiles, series, from, to, columns);
    const GatheredView view = tiles.Gather(kRow, from, to, columns);
    ASSERT_TRUE(view.missing.empty());
    const auto width = static_cast<double>(kTileColumnSeconds[view.rung]);
    EXPECT_TRUE(view.rung == kFrameRung || width <= (to - from) / columns);
    EXPECT_LE(view.points.size(), 2u * static_cast<std::size_t>(columns) + 1);

    // Brute force: the columns of the view's width whose first frame lies in the view, each
    // with every value of its frames, and whether the pass gap passed since the one before.
    std::vector<DrawnPoint> expected;
    std::map<std::int64_t, DrawnPoint> byColumn;
    for (const Frame& frame : series) {
      const auto column = static_cast<std::int64_t>(std::floor(frame.time / width));
      auto [at, added] = byColumn.try_emplace(
          column, DrawnPoint{frame.time, frame.value, frame.value, frame.time});
      at->second.low = std::min(at->second.low, frame.value);
      at->second.high = std::max(at->second.high, frame.value);
      at->second.last = frame.time;
    }
    for (const auto& [column, point] : byColumn) {
      if (point.time >= from && point.time <= to) {
        DrawnPoint drawn = point;
        drawn.startsLine = expected.empty() || drawn.time - expected.back().last > kPassGapSeconds;
        expected.push_back(drawn);
      }
    }
    ASSERT_EQ(view.points.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(view.points[i].time, expected[i].time);
      EXPECT_EQ(view.points[i].low, expected[i].low) << "a column lost its lowest value";
      EXPECT_EQ(view.points[i].high, expected[i].high) << "a column lost its highest value";
      EXPECT_EQ(view.points[i].startsLine, expected[i].startsLine);
    }
  }
}

// A line breaks only where more than the pass gap passed, also where the two frames lie in
// tiles of their own: frames exactly the gap apart are still one pass.
TEST(SeriesTiles, BreaksTheLineAcrossATileEdgeOnlyBeyondThePassGap) {
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
    // The first frame a second before a tile of frames ends, the second in the next tile.
    const auto edge = static_cast<double>(TileSeconds(kFrameRung) * 3400000);
    const std::vector<Frame> series = {{edge - 1, 1.0}, {edge - 1 + c.step, 2.0}};
    SeriesTiles tiles;
    ReadMissing(tiles, series, edge - 100, edge + 900, 1000);
    const GatheredView view = tiles.Gather(kRow, edge - 100, edge + 900, 1000);
    ASSERT_EQ(view.points.size(), 2u);
    EXPECT_TRUE(view.points[0].startsLine);
    EXPECT_EQ(view.points[1].startsLine, c.breaks);
  }
}

// A zoom is painted at once from a coarser tile held, over just the stretch of each finer tile
// still missing, and from the finer tile once it is read.
TEST(SeriesTiles, ACoarserTileStandsInUntilTheFinerOneIsRead) {
  const double day = 86400.0;
  const double start = 1.75e9 - std::fmod(1.75e9, 3600.0);
  std::vector<Frame> series;
  for (int i = 0; i < 30 * 24 * 60; ++i) {  // a month of a frame a minute
    series.push_back({start + i * 60.0, std::sin(i / 500.0) + (i == 20000 ? 9.0 : 0.0)});
  }
  SeriesTiles tiles;
  const int columns = 1000;
  ReadMissing(tiles, series, start, start + 30 * day, columns / 2);  // the month: hours
  const double spike = start + 20000 * 60.0;
  const double from = spike - 3 * 3600, to = spike + 3 * 3600;  // six hours around the spike
  struct Step {
    const char* name;
    bool finerRead;
    std::int64_t width;  // of the columns painted
    std::size_t missing;
  };
  const std::size_t finer = SeriesTiles::TilesOf(kRow, from, to, columns).size();
  const Step steps[] = {{"before the read", false, 3600, finer}, {"after it", true, 16, 0}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    if (step.finerRead) {
      ReadMissing(tiles, series, from, to, columns);
    }
    const GatheredView view = tiles.Gather(kRow, from, to, columns);
    EXPECT_EQ(view.missing.size(), step.missing);
    ASSERT_FALSE(view.points.empty());
    for (const DrawnPoint& point : view.points) {
      EXPECT_EQ(point.bucketSeconds, step.width);
      EXPECT_GE(point.time, from);
      EXPECT_LE(point.time, to);
    }
    EXPECT_TRUE(std::any_of(view.points.begin(), view.points.end(), [](const DrawnPoint& p) {
      return p.high > 9.0;
    })) << "the spike is not painted";
  }
}

// Where no coarser tile holds a stretch, the tile a width finer stands in (a view a little
// wider than the one read, or a plot narrowed by another curve's axis); none further down.
TEST(SeriesTiles, AWidthFinerStandsInWhereNoCoarserIsHeld) {
  const double start = 1.75e9;
  std::vector<Frame> series;
  for (int i = 0; i < 2000; ++i) {
    series.push_back({start + i * 5.0, 1.0 + (i % 11)});
  }
  const double from = start, to = start + 6 * 3600;
  const int rung = SeriesTiles::TilesOf(kRow, from, to, 1000).front().rung;
  struct Case {
    const char* name;
    int heldRung;
    bool painted;
  };
  const Case cases[] = {{"a width finer", rung - 1, true},
                        {"two widths finer", rung - 2, false},
                        {"a width coarser", rung + 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SeriesTiles tiles;
    const auto span = static_cast<double>(TileSeconds(c.heldRung));
    for (auto index = static_cast<std::int64_t>(std::floor(from / span));
         index <= static_cast<std::int64_t>(std::floor(to / span)); ++index) {
      tiles.Put({kRow, c.heldRung, index}, TileOf(series, {kRow, c.heldRung, index}));
    }
    const GatheredView view = tiles.Gather(kRow, from, to, 1000);
    EXPECT_FALSE(view.missing.empty());
    EXPECT_EQ(!view.points.empty(), c.painted);
    for (const DrawnPoint& point : view.points) {
      EXPECT_EQ(point.bucketSeconds, kTileColumnSeconds[c.heldRung]);
    }
  }
}

// Panning a day's view step by step across ten years keeps at most the cache's capacity of
// tiles, and still every tile the view needs once read; a view seen before and gone from the
// cache is read again.
TEST(SeriesTiles, HoldsNoMoreThanItsCapacityWhilePanningAcrossYears) {
  std::vector<Frame> series;
  const double start = 1.6e9;
  for (int pass = 0; pass < 10 * 365 * 4; ++pass) {  // four passes a day, ten frames each
    for (int i = 0; i < 10; ++i) {
      series.push_back({start + pass * 21600.0 + i * 30, 3.7 + 0.01 * (pass % 17)});
    }
  }
  SeriesTiles tiles(64);
  const double span = 86400.0;
  int reads = 0;
  for (double from = start; from < series.back().time; from += span / 2) {
    ReadMissing(tiles, series, from, from + span, 1200, &reads);
    ASSERT_LE(tiles.Count(), 64u) << "at " << from;
    ASSERT_TRUE(tiles.Gather(kRow, from, from + span, 1200).missing.empty()) << "at " << from;
  }
  EXPECT_GT(reads, 64);
  reads = 0;
  ReadMissing(tiles, series, start, start + span, 1200, &reads);
  EXPECT_GT(reads, 0) << "the first day's tiles should have made room long ago";
}

// New frames drop the tiles of every width that hold their time, of their parameter only.
TEST(SeriesTiles, NewFramesDropTheTilesThatHoldThem) {
  SeriesTiles tiles;
  const double time = 1.75e9 + 100;
  std::vector<TileKey> holding;
  for (int rung = 0; rung < static_cast<int>(kTileColumnSeconds.size()); ++rung) {
    const auto index = static_cast<std::int64_t>(std::floor(time / TileSeconds(rung)));
    holding.push_back({kRow, rung, index});
  }
  const TileKey neighbour{kRow, kFrameRung, holding.front().index + 1};
  const TileKey otherParameter{kRow + 1, kFrameRung, holding.front().index};
  for (const TileKey& key : holding) {
    tiles.Put(key, {});
  }
  tiles.Put(neighbour, {});
  tiles.Put(otherParameter, {});
  tiles.Invalidate(kRow, time);
  for (const TileKey& key : holding) {
    EXPECT_FALSE(tiles.Has(key)) << "width " << kTileColumnSeconds[key.rung];
  }
  EXPECT_TRUE(tiles.Has(neighbour));
  EXPECT_TRUE(tiles.Has(otherParameter));
  EXPECT_EQ(tiles.Count(), 2u);
}

}  // namespace
}  // namespace quilmar
