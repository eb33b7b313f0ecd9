#pragma once

#include <nlohmann/json.hpp>

#include "support/MemoryFileSystem.h"
#include "support/TileMap.h"

namespace gridport::test {

// A map with every field the mapping carries, at values the file holds: a
// layer smaller than the map (padding cells), one hidden with factors, rates,
// an aux flag; layer and tile segments, tile values; entities of the three
// record types; zones, one reversed both ways. 5 tiles of 2 x 3.
TileMap SampleTiledMap();

// A map in memory as a Tiled JSON map, as the mapping between the two
// writes it: tile layers (gid = tile + 1) with their properties, then the
// object layers of entities and zones when there are any; its tileset is
// external, "tiles.tsj". Values must lie in the ranges the file holds.
nlohmann::json TiledMapJson(const TileMap& map);

// The map's tileset as a .tsj whose picture "tiles.png" holds its tiles in
// the given number of columns; tiles with values or segments get entries.
nlohmann::json TiledTilesetJson(const Tileset& tileset, std::int32_t columns);

// That picture, as an 8-bit RGBA PNG (through the viewers' PNG writer).
Bytes TilesetPng(const Tileset& tileset, std::int32_t columns);

// Puts map.tmj, tiles.tsj and tiles.png into files.
void PutTiledMap(MemoryFileSystem& files, const nlohmann::json& map, const nlohmann::json& tileset,
                 const Bytes& png);

}  // namespace gridport::test
