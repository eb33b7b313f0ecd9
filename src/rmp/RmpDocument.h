#pragma once

#include <array>
#include <string>

#include "map/TileMap.h"

namespace gridport {

// An RMP map file read back into memory.
struct RmpDocument {
    TileMap map;
    // The first and third of the nine strings, which the map has no field
    // for (the writer leaves them empty).
    std::array<std::string, 2> unnamedStrings;
};

}  // namespace gridport
