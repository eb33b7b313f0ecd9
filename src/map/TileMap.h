#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "map/MapEntity.h"
#include "map/MapLayer.h"
#include "map/MapZone.h"
#include "tileset/Tileset.h"

namespace gridport {

// A map as the viewers hold it: plain data, read and written by the format
// codecs beside it. It holds its entities by value.
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
