#include "tileset/Tile.h"

namespace gridport {

Tile::Tile(std::int32_t width, std::int32_t height) : image(width, height) {
    image.Clear();
}

void Tile::Assign(const Tile& other) {
    image.Assign(other.image);
    infoFlag = other.infoFlag;
    infoValueA = other.infoValueA;
    infoValueB = other.infoValueB;
    segments.Assign(other.segments);
}

}  // namespace gridport
