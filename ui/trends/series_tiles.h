// What the Trends chart has read of the archive, kept as tiles: a tile is one parameter's
// series over a fixed stretch of time, 512 columns of one width, read once from the archive
// and kept until the least recently used tiles make room for others. The widths form a
// ladder from one second to years, each at most twice the one below and aligned on the
// Unix epoch (seconds, minutes, hours), so a view of any range is covered by a handful of
// tiles whose columns are no wider than its pixels: a repaint never touches more points
// than the screen has columns, whatever the archive holds. Where a tile of the view's width
// is not in yet, a coarser one held (else one a width finer) stands in for it until it
// arrives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <utility>
#include <vector>

#include "archive/series_query.h"
#include "archive/trend_query.h"

namespace quilmar {

// The column widths of the tiles, in seconds, finest first: frames (one a second at most),
// then minutes and hours of the archive's overviews, doubled up to some 30 years a tile.
inline constexpr std::array<std::int64_t, 29> kTileColumnSeconds = {
    1,          2,          4,          8,          16,        32,        60,         120,
    240,        480,        960,        1920,       3600,      3600 << 1, 3600 << 2,  3600 << 3,
    3600 << 4,  3600 << 5,  3600 << 6,  3600 << 7,  3600 << 8, 3600 << 9, 3600 << 10, 3600 << 11,
    3600 << 12, 3600 << 13, 3600 << 14, 3600 << 15, 3600 << 16};
inline constexpr int kTileColumns = 512;
// Tiles kept before the least recently used go. A tile holds at most 512 columns and the gaps
// between them, 48 bytes a point: 24 KiB for a tile of one pass after another, 48 KiB at
// worst, so the cache stays under 50 MiB; a view needs a handful of tiles per curve.
inline constexpr std::size_t kTileCapacity = 1024;

// The finest width: each frame is a point of its own and carries its key and time kind.
inline constexpr int kFrameRung = 0;

struct TileKey {
  int parameterRow = 0;
  int rung = 0;            // index in kTileColumnSeconds
  std::int64_t index = 0;  // the tile covers [index, index + 1) * TileSeconds(rung)
  auto operator<=>(const TileKey&) const = default;
};

// One column's extremes, or a single frame at the finest width. low and high NaN: a gap,
// no line drawn across it.
struct TilePoint {
  double time = 0.0;  // seconds since the Unix epoch: the column's first frame
  double low = 0.0;
  double high = 0.0;
  double last = 0.0;     // the column's last frame (of an hour, maybe in the next column)
  std::int64_t key = 0;  // the frame's key at the finest width, else 0
  TrendTimeKind kind = TrendTimeKind::kSpacecraft;
};

struct Tile {
  SeriesLevel level = SeriesLevel::kFrame;  // the archive's level the tile was read from
  std::vector<TilePoint> points;            // in time order
};

// A tile's stretch of time in seconds, and its first second.
std::int64_t TileSeconds(int rung);
std::int64_t TileStart(const TileKey& key);
// The rung for a view whose pixel columns are secondsPerColumn wide: the widest whose
// columns are no wider (the finest for anything narrower than a second).
int RungFor(double secondsPerColumn);

// A point as painted: taken from a tile of the view's width or a coarser one standing in.
struct DrawnPoint {
  double time = 0.0;
  double low = 0.0;
  double high = 0.0;
  double last = 0.0;
  bool startsLine = false;  // no line from the point before
  std::int64_t key = 0;     // of the frame, at the finest width
  TrendTimeKind kind = TrendTimeKind::kSpacecraft;
  std::int64_t bucketSeconds = 0;  // the column's width; 0 for a frame of its own
};

// A view of one parameter as the tiles held can paint it.
struct GatheredView {
  std::vector<DrawnPoint> points;
  std::vector<TileKey> missing;  // tiles of the view's width still to read, left to right
  int rung = 0;                  // the view's width
  SeriesLevel coarsest = SeriesLevel::kFrame;  // of the tiles painted
  SeriesLevel finest = SeriesLevel::kHour;
};

class SeriesTiles {
 public:
  explicit SeriesTiles(std::size_t capacity = kTileCapacity) : capacity(capacity) {}

  // The tiles of the view's width that cover [from, to] over `columns` pixels.
  static std::vector<TileKey> TilesOf(int parameterRow, double from, double to, int columns);
  // What can be painted of [from, to] now: each tile of the view's width held, else the
  // nearest coarser width held over its stretch, else the width just finer, else nothing
  // there (the line breaks). The tiles used count as used now.
  GatheredView Gather(int parameterRow, double from, double to, int columns);

  bool Has(const TileKey& key) const { return tiles.count(key) != 0; }
  void Put(const TileKey& key, Tile tile);
  // New frames at `time`: every width's tile of the parameter that holds the time goes.
  void Invalidate(int parameterRow, double time);
  void DropParameter(int parameterRow);
  void Clear();
  std::size_t Count() const { return tiles.size(); }
  std::size_t Capacity() const { return capacity; }
  // Every point held: what the tiles cost in memory, about 40 bytes each.
  std::size_t PointCount() const;

 private:
  struct Held {
    Tile tile;
    std::list<TileKey>::iterator used;
  };
  const Tile* Use(const TileKey& key);
  std::vector<std::pair<const Tile*, int>> Covering(int parameterRow, int rung, double from,
                                                    double to);
  std::vector<std::pair<const Tile*, int>> StandIns(int parameterRow, int rung, double from,
                                                    double to);
  void Append(GatheredView& view, const Tile& tile, std::int64_t bucketSeconds, double from,
              double to, bool afterBlank) const;

  std::size_t capacity;
  std::map<TileKey, Held> tiles;
  std::list<TileKey> recentlyUsed;  // most recent first
};

}  // namespace quilmar
