#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/TileMap.h"
#include "support/Builders.h"

namespace gridport::test {

// One RMP map file, made by gridport's conversion or, from a map in memory,
// by SaveToMemory; map is that map, null for a converted one.
struct SampleRmp {
    std::string name;
    std::unique_ptr<TileMap> map;
    Bytes bytes;
};

// A map as an RMP file, by the byte builders: the writer a reader's tests
// hold it to, apart from the code under test. Values the file narrows are
// written as their low bits.
Bytes SaveToMemory(const TileMap& map);

// Small RMP files covering the layout: a converted version-1 map with a VSP
// tileset, a converted version-2 map with an RTS tileset of 8 x 4 tiles that
// carry info values and segments, and a map built in memory with entities of
// every record type, zones, layer segments, flags, all nine strings and
// values that the file narrows. They seed the reader's fuzz target too.
std::vector<SampleRmp> SampleRmpFiles();

}  // namespace gridport::test
