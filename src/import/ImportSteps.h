#pragma once

// The pieces of TileMap::ImportMap that both MAP versions share, and the two
// version procedures. Each procedure fills an ImportedMap; the map itself is
// changed only after one has succeeded, so a failed import leaves it as the
// reset left it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filesystem/File.h"
#include "filesystem/FileSystem.h"
#include "map/MapLayer.h"
#include "tileset/Tileset.h"

namespace gridport {

struct ImportedMap {
    std::vector<MapLayer> layers;
    Tileset tileset;
    std::string linkedFileName;
    std::int32_t headerX = 0;
    std::int32_t headerY = 0;
    std::optional<std::int32_t> headerLayer;
    std::optional<std::int32_t> headerMode;
};

// A path ending in ".vsp", in any letter case, names a VSP tileset; every
// other path an RTS tileset file.
bool IsVspPath(std::string_view path);
// Loads the tileset the path names into a new tileset.
bool LoadTileset(const std::string& path, FileSystem& fileSystem, Tileset& tileset);

// A header text runs from offset to its first zero byte, or to the end of the
// header when there is none, past the field it starts in.
std::string HeaderText(const std::uint8_t* header, std::size_t headerSize, std::size_t offset);

// Each reads its version from the start of the open MAP file.
bool ImportMapVersion1(File& file, const std::string& tilesetPath, FileSystem& fileSystem, ImportedMap& result);
bool ImportMapVersion2(File& file, const std::string& tilesetPath, FileSystem& fileSystem, ImportedMap& result);

}  // namespace gridport
