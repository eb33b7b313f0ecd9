#pragma once

#include <memory>
#include <string>
#include <vector>

#include "map/TileMap.h"
#include "support/Builders.h"

namespace gridport::testing {

// One RMP map file made by gridport's own writer, with the map it was saved
// from (as Save left it) and the entities that map refers to.
struct SampleRmp {
    std::string name;
    std::unique_ptr<TileMap> map;
    std::vector<MapEntity> entities;
    Bytes bytes;
};

// Saves a map into memory and returns the file's bytes.
Bytes SaveToMemory(TileMap& map);

// Small RMP files covering the layout: a converted version-1 map with a VSP
// tileset, a converted version-2 map with an RTS tileset of 8 x 4 tiles that
// carry info values and segments, and a map built in memory with entities of
// every record type, zones, layer segments, flags, all nine strings and
// values that the file narrows. They seed the reader's fuzz target too.
std::vector<SampleRmp> SampleRmpFiles();

}  // namespace gridport::testing
