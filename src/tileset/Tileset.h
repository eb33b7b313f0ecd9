#pragma once

#include <cstdint>
#include <vector>

#include "tileset/Tile.h"

namespace gridport {

// The tiles a map's indices refer to: index i is tiles[i]. Every tile's image
// is tileWidth x tileHeight pixels.
struct Tileset {
    std::int32_t TileCount() const { return static_cast<std::int32_t>(tiles.size()); }

    std::int32_t tileWidth = 16;
    std::int32_t tileHeight = 16;
    std::vector<Tile> tiles;
};

}  // namespace gridport
