#pragma once

#include <array>
#include <string>

#include "filesystem/BufferedReader.h"
#include "support/TileMap.h"

namespace gridport {

// An RMP map file read back into memory.
struct RmpDocument {
    TileMap map;
    // The first and third of the nine strings, which the map has no field
    // for (the writer leaves them empty).
    std::array<std::string, 2> unnamedStrings;
};

// Reads a whole RMP map file from the reader's position, grids, segments,
// entities, zones and embedded RTS tileset included: the reference the
// tests hold files to, on the outline the viewers read. The tileset must end
// exactly at the end of the file.
Expected<RmpDocument> ReadRmp(BufferedReader& in);

}  // namespace gridport
