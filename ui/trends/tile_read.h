// Reading tiles of the Trends chart from the archive, in a reading thread: the frames
// themselves at the finest width (each its value, time kind and key, for the hover text and
// a click), the series by level of detail at every other width. Neighbouring tiles of one
// parameter and width are read by one query: a statement over an overview costs about as
// much for one tile as for several.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "series_tiles.h"

namespace quilmar {

class Archive;

// The `count` tiles from `first` on (the same parameter and width, indexes in a row), or
// nullopt with archive.Error() set when the archive failed.
std::optional<std::vector<Tile>> ReadTiles(Archive& archive, const TileKey& first, int count);

// What the window reads tiles with; the test of a window that waits for a tile hands in
// one of its own.
using TileReader = std::function<std::optional<std::vector<Tile>>(Archive& archive,
                                                                  const TileKey& first, int count)>;

}  // namespace quilmar
