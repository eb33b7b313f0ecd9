#pragma once

#include <string>

#include "map/TileMap.h"
#include "support/Builders.h"
#include "support/MemoryFileSystem.h"

namespace gridport::test {

// Imports MAP and tileset bytes held in memory into one map.
struct ImportFixture {
    bool Import(const Bytes& mapBytes, const Bytes& tilesetBytes, const std::string& tilesetPath = "tiles.vsp") {
        files.Put("map.map", mapBytes);
        files.Put(tilesetPath, tilesetBytes);
        error.Clear();
        return map.ImportMap("map.map", tilesetPath, files, error);
    }
    // A VSP tileset of count tiles.
    bool Import(const Bytes& mapBytes, std::uint16_t tileCount) {
        return Import(mapBytes, PatternVsp(tileCount).Build());
    }

    MemoryFileSystem files;
    TileMap map;
    // Why the last import failed.
    Error error;
};

}  // namespace gridport::test
