// Reading a tile of the Trends chart; see tile_read.h.
#include "tile_read.h"

#include <cmath>
#include <limits>

#include "archive/archive.h"
#include "core/pass_gap.h"

namespace quilmar {
namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

// The frames of the tile, a gap where a pass ended: at this width every frame has a pixel
// column of its own, so nothing is summed up.
std::optional<Tile> ReadFrames(Archive& archive, const TileKey& key) {
  Tile tile;
  tile.level = SeriesLevel::kFrame;
  const std::int64_t start = TileStart(key);
  const TrendRange range{start, start + TileSeconds(key.rung) - 1};
  const bool ok = ReadTrend(archive, key.parameterRow, range, [&](const TrendSample& sample) {
    const auto time = static_cast<double>(sample.utcSeconds);
    if (!tile.points.empty() && time - tile.points.back().time > kPassGapSeconds) {
      const double middle = (time + tile.points.back().time) / 2;
      tile.points.push_back({middle, kGap, kGap, middle});
    }
    tile.points.push_back({time, sample.value, sample.value, time, sample.key, sample.kind});
    return true;
  });
  return ok ? std::optional<Tile>(std::move(tile)) : std::nullopt;
}

}  // namespace

std::optional<Tile> ReadTile(Archive& archive, const TileKey& key) {
  if (key.rung == kFrameRung) {
    return ReadFrames(archive, key);
  }
  const std::int64_t start = TileStart(key);
  SeriesRequest request;
  request.parameterRow = key.parameterRow;
  request.fromMs = start * 1000;
  // Both ends count: 512 columns of exactly the tile's width, each a whole number of the
  // archive's buckets.
  request.toMs = (start + TileSeconds(key.rung)) * 1000 - 1;
  request.columns = kTileColumns;
  std::optional<Series> series = ReadSeries(archive, request);
  if (!series) {
    return std::nullopt;
  }
  Tile tile;
  tile.level = series->level;
  tile.points.reserve(series->points.size());
  for (const SeriesPoint& point : series->points) {
    tile.points.push_back({static_cast<double>(point.timeMs) / 1000.0, point.low, point.high,
                           static_cast<double>(point.lastMs) / 1000.0});
  }
  return tile;
}

}  // namespace quilmar
