// Reading one tile of the Trends chart from the archive, in a reading thread: the frames
// themselves at the finest width (each its value, time kind and key, for the hover text and
// a click), the series by level of detail at every other width.
#pragma once

#include <functional>
#include <optional>

#include "series_tiles.h"

namespace quilmar {

class Archive;

// The tile, or nullopt with archive.Error() set when the archive failed.
std::optional<Tile> ReadTile(Archive& archive, const TileKey& key);

// What the window reads tiles with; the test of a window that waits for a tile hands in
// one of its own.
using TileReader = std::function<std::optional<Tile>(Archive& archive, const TileKey& key)>;

}  // namespace quilmar
