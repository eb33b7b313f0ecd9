#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rmp/RmpLayout.h"
#include "support/Tileset.h"

namespace gridport {

// An entity record. Kind 2 is written with all seven strings, kind 3 with
// textA alone, any other kind with no data (rmp::EntityRecordType).
struct MapEntity {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t layer = 0;
    std::int32_t kind = 0;
    std::string textA;
    std::string textB;
    std::array<std::string, rmp::kEntityStringCount> textList;
};

// A zone record: its six values in the file's order, then its text.
struct MapZone {
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;
    std::int32_t layer = 0;
    std::int32_t auxValue = 0;
    std::string text;
};

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
