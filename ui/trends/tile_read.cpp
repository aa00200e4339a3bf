// Reading tiles of the Trends chart; see tile_read.h.
#include "tile_read.h"

#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <limits>

#include "archive/archive.h"
#include "core/pass_gap.h"

namespace quilmar {
namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
// A SQLite connection that reads tiles keeps a small page cache: a tile over the hourly
// overview scans the whole table once (some 45 MB at three million frames), which the
// archive's reading cache would otherwise keep in the window's memory after every read,
// growing with the mission. The system caches the file anyway.
constexpr const char* kSmallPageCache = "PRAGMA cache_size=-4096";

// The tiles of a run, and which of them a time falls in.
struct Run {
  std::int64_t start = 0;  // seconds
  std::int64_t span = 0;   // of one tile
  std::vector<Tile> tiles;

  Tile& At(double time) {
    const double index =
        std::floor((time - static_cast<double>(start)) / static_cast<double>(span));
    const double last = static_cast<double>(tiles.size() - 1);
    return tiles[static_cast<std::size_t>(std::clamp(index, 0.0, last))];
  }
};

// The frames, a gap where a pass ended: at this width every frame has a pixel column of its
// own, so nothing is summed up.
bool ReadFrames(Archive& archive, int parameterRow, Run& run) {
  const auto count = static_cast<std::int64_t>(run.tiles.size());
  const TrendRange range{run.start, run.start + count * run.span - 1};
  return ReadTrend(archive, parameterRow, range, [&](const TrendSample& sample) {
    const auto time = static_cast<double>(sample.utcSeconds);
    Tile& tile = run.At(time);
    if (!tile.points.empty() && time - tile.points.back().time > kPassGapSeconds) {
      const double middle = (time + tile.points.back().time) / 2;
      tile.points.push_back({middle, kGap, kGap, middle});
    }
    tile.points.push_back({time, sample.value, sample.value, time, sample.key, sample.kind});
    return true;
  });
}

// The run as one series of 512 columns a tile, each column a whole number of the archive's
// buckets; a point (or gap) goes to the tile its time lies in.
bool ReadColumns(Archive& archive, int parameterRow, Run& run) {
  const auto count = static_cast<std::int64_t>(run.tiles.size());
  SeriesRequest request;
  request.parameterRow = parameterRow;
  request.fromMs = run.start * 1000;
  request.toMs = (run.start + count * run.span) * 1000 - 1;  // both ends count
  request.columns = static_cast<int>(count) * kTileColumns;
  const std::optional<Series> series = ReadSeries(archive, request);
  if (!series) {
    return false;
  }
  for (Tile& tile : run.tiles) {
    tile.level = series->level;
  }
  for (const SeriesPoint& point : series->points) {
    const double time = static_cast<double>(point.timeMs) / 1000.0;
    run.At(time).points.push_back(
        {time, point.low, point.high, static_cast<double>(point.lastMs) / 1000.0});
  }
  return true;
}

}  // namespace

std::optional<std::vector<Tile>> ReadTiles(Archive& archive, const TileKey& first, int count) {
  if (!archive.IsPostgresql()) {
    QSqlQuery(archive.Database()).exec(QString::fromLatin1(kSmallPageCache));
  }
  Run run{TileStart(first), TileSeconds(first.rung),
          std::vector<Tile>(static_cast<std::size_t>(std::max(count, 1)))};
  const bool ok = first.rung == kFrameRung ? ReadFrames(archive, first.parameterRow, run)
                                           : ReadColumns(archive, first.parameterRow, run);
  return ok ? std::optional<std::vector<Tile>>(std::move(run.tiles)) : std::nullopt;
}

}  // namespace quilmar
