#pragma once

#include <array>
#include <string>
#include <vector>

#include "map/MapEntity.h"
#include "map/TileMap.h"

namespace gridport {

// An RMP map file read back into memory. The map's entity list refers into
// entityRecords, which owns the entities; the document is neither copied nor
// moved, so those references stay valid for its whole life.
struct RmpDocument {
    RmpDocument() = default;
    RmpDocument(const RmpDocument&) = delete;
    RmpDocument& operator=(const RmpDocument&) = delete;

    TileMap map;
    std::vector<MapEntity> entityRecords;
    // The first and third of the nine strings, which the map has no field
    // for (the writer leaves them empty).
    std::array<std::string, 2> unnamedStrings;
};

}  // namespace gridport
