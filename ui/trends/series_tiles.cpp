// The Trends chart's tiles; see series_tiles.h.
#include "series_tiles.h"

#include <algorithm>
#include <cmath>

#include "core/pass_gap.h"

namespace quilmar {
namespace {

constexpr int kRungs = static_cast<int>(kTileColumnSeconds.size());

// Two points painted from different tiles are joined as the archive joins them within one:
// unless the pass gap passed between the last frame of the one and the first of the other.
bool Joined(const DrawnPoint& before, const DrawnPoint& after) {
  return after.time - before.last <= kPassGapSeconds;
}

}  // namespace

std::int64_t TileSeconds(int rung) { return kTileColumnSeconds[rung] * kTileColumns; }

std::int64_t TileStart(const TileKey& key) { return key.index * TileSeconds(key.rung); }

int RungFor(double secondsPerColumn) {
  int rung = 0;
  while (rung + 1 < kRungs &&
         static_cast<double>(kTileColumnSeconds[rung + 1]) <= secondsPerColumn) {
    ++rung;
  }
  return rung;
}

std::vector<TileKey> SeriesTiles::TilesOf(int parameterRow, double from, double to, int columns) {
  std::vector<TileKey> keys;
  if (!(to > from) || columns < 1) {
    return keys;
  }
  const int rung = RungFor((to - from) / columns);
  const auto span = static_cast<double>(TileSeconds(rung));
  const auto first = static_cast<std::int64_t>(std::floor(from / span));
  const auto last = static_cast<std::int64_t>(std::floor(to / span));
  for (std::int64_t index = first; index <= last; ++index) {
    keys.push_back({parameterRow, rung, index});
  }
  return keys;
}

const Tile* SeriesTiles::Use(const TileKey& key) {
  const auto held = tiles.find(key);
  if (held == tiles.end()) {
    return nullptr;
  }
  recentlyUsed.splice(recentlyUsed.begin(), recentlyUsed, held->second.used);
  return &held->second.tile;
}

// The tile's points in [from, to), gaps as breaks of the line.
void SeriesTiles::Append(GatheredView& view, const Tile& tile, std::int64_t bucketSeconds,
                         double from, double to, bool afterBlank) const {
  view.coarsest = std::min(view.coarsest, tile.level);
  view.finest = std::max(view.finest, tile.level);
  const auto begin = std::lower_bound(tile.points.begin(), tile.points.end(), from,
                                      [](const TilePoint& p, double t) { return p.time < t; });
  bool breakNext = afterBlank;
  bool first = true;
  for (auto point = begin; point != tile.points.end() && point->time < to; ++point) {
    if (std::isnan(point->low) || std::isnan(point->high)) {
      breakNext = true;
      continue;
    }
    DrawnPoint drawn{point->time, point->low, point->high, point->last,
                     breakNext,   point->key, point->kind, bucketSeconds};
    if (first && !breakNext) {
      drawn.startsLine = view.points.empty() || !Joined(view.points.back(), drawn);
    }
    view.points.push_back(drawn);
    breakNext = false;
    first = false;
  }
}

// The tiles of one width held that together cover [from, to), or none: the widths are not all
// multiples of each other, so a stretch may take two of them.
std::vector<std::pair<const Tile*, int>> SeriesTiles::Covering(int parameterRow, int rung,
                                                               double from, double to) {
  const auto span = static_cast<double>(TileSeconds(rung));
  const auto first = static_cast<std::int64_t>(std::floor(from / span));
  const auto last = std::max(first, static_cast<std::int64_t>(std::ceil(to / span)) - 1);
  for (std::int64_t index = first; index <= last; ++index) {
    if (!Has({parameterRow, rung, index})) {
      return {};
    }
  }
  std::vector<std::pair<const Tile*, int>> found;
  for (std::int64_t index = first; index <= last; ++index) {
    found.emplace_back(Use({parameterRow, rung, index}), rung);
  }
  return found;
}

// What stands in for a tile not read yet: the nearest coarser width held, else the width just
// finer (a view a little wider than the one before, or a plot narrowed by another axis).
std::vector<std::pair<const Tile*, int>> SeriesTiles::StandIns(int parameterRow, int rung,
                                                               double from, double to) {
  for (int coarser = rung + 1; coarser < kRungs; ++coarser) {
    if (auto found = Covering(parameterRow, coarser, from, to); !found.empty()) {
      return found;
    }
  }
  return rung > 0 ? Covering(parameterRow, rung - 1, from, to)
                  : std::vector<std::pair<const Tile*, int>>{};
}

GatheredView SeriesTiles::Gather(int parameterRow, double from, double to, int columns) {
  GatheredView view;
  const std::vector<TileKey> keys = TilesOf(parameterRow, from, to, columns);
  if (keys.empty()) {
    return view;
  }
  view.rung = keys.front().rung;
  bool afterBlank = true;  // nothing painted just before: the next point starts a line
  for (const TileKey& key : keys) {
    const auto start = static_cast<double>(TileStart(key));
    const double pieceFrom = std::max(from, start);
    const double pieceTo =
        std::min(std::nextafter(to, to + 1.0), start + static_cast<double>(TileSeconds(key.rung)));
    std::vector<std::pair<const Tile*, int>> painted;
    if (const Tile* tile = Use(key)) {
      painted.emplace_back(tile, key.rung);
    } else {
      view.missing.push_back(key);
      painted = StandIns(parameterRow, key.rung, pieceFrom, pieceTo);
    }
    for (const auto& [tile, rung] : painted) {
      // At the finest width a point is a frame, not a column's extremes.
      const std::int64_t bucket = rung == kFrameRung ? 0 : kTileColumnSeconds[rung];
      Append(view, *tile, bucket, pieceFrom, pieceTo, afterBlank);
      afterBlank = false;
    }
    afterBlank = afterBlank || painted.empty();
  }
  if (view.points.empty()) {
    view.coarsest = view.finest = SeriesLevel::kFrame;
  }
  return view;
}

void SeriesTiles::Put(const TileKey& key, Tile tile) {
  if (const auto held = tiles.find(key); held != tiles.end()) {
    held->second.tile = std::move(tile);
    recentlyUsed.splice(recentlyUsed.begin(), recentlyUsed, held->second.used);
    return;
  }
  recentlyUsed.push_front(key);
  tiles.emplace(key, Held{std::move(tile), recentlyUsed.begin()});
  while (tiles.size() > capacity) {
    tiles.erase(recentlyUsed.back());
    recentlyUsed.pop_back();
  }
}

void SeriesTiles::Invalidate(int parameterRow, double time) {
  for (int rung = 0; rung < kRungs; ++rung) {
    const auto index =
        static_cast<std::int64_t>(std::floor(time / static_cast<double>(TileSeconds(rung))));
    if (const auto held = tiles.find({parameterRow, rung, index}); held != tiles.end()) {
      recentlyUsed.erase(held->second.used);
      tiles.erase(held);
    }
  }
}

void SeriesTiles::DropParameter(int parameterRow) {
  for (auto held = tiles.begin(); held != tiles.end();) {
    if (held->first.parameterRow == parameterRow) {
      recentlyUsed.erase(held->second.used);
      held = tiles.erase(held);
    } else {
      ++held;
    }
  }
}

void SeriesTiles::Clear() {
  tiles.clear();
  recentlyUsed.clear();
}

std::size_t SeriesTiles::PointCount() const {
  std::size_t points = 0;
  for (const auto& [key, held] : tiles) {
    points += held.tile.points.size();
  }
  return points;
}

}  // namespace quilmar
