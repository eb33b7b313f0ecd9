#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rmp/RmpRecords.h"
#include "support/Tileset.h"

namespace gridport {

using MapEntity = RmpEntity;
using MapZone = RmpZone;

// A named grid of 32-bit tile indices with its header's fields and its
// segments. Cell (x, y) is tiles[y * width + x]; tiles always holds
// width * height cells.
struct MapLayer : RmpLayerFields {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> tiles;
    SegmentList segments;
};

// A whole RMP map in memory, as the tests build and read it back: plain
// data, entities and zones by value.
struct TileMap {
    std::int32_t headerX = 0;
    std::int32_t headerY = 0;
    std::int32_t headerLayer = 0;
    std::int32_t headerMode = 0;
    std::string linkedFileName;
    std::string textA;
    std::string textB;
    std::array<std::string, 4> textList;
    std::vector<MapLayer> layers;
    std::vector<MapEntity> entities;
    std::vector<MapZone> zones;
    Tileset tileset;
};

}  // namespace gridport
