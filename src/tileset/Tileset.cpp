#include "tileset/Tileset.h"

namespace gridport {

void Tileset::Assign(const Tileset& other) {
    if (&other == this) {
        return;
    }
    std::vector<Tile> copies;
    copies.reserve(other.tiles.size());
    for (const Tile& tile : other.tiles) {
        copies.emplace_back().Assign(tile);
    }
    tileWidth = other.tileWidth;
    tileHeight = other.tileHeight;
    tiles.swap(copies);
}

void Tileset::AppendBlankTiles(std::int32_t count) {
    if (count <= 0) {
        return;
    }
    const Tile blank(tileWidth, tileHeight);
    tiles.insert(tiles.end(), static_cast<std::size_t>(count), blank);
}

}  // namespace gridport
