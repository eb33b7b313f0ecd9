#pragma once

// The pieces of the MAP import that both MAP versions and both ways of
// converting share.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "filesystem/Error.h"
#include "filesystem/File.h"
#include "filesystem/FileSystem.h"
#include "tileset/Tileset.h"

namespace gridport {

// A path ending in ".vsp", in any letter case, names a VSP tileset; every
// other path an RTS tileset file.
bool IsVspPath(std::string_view path);
// Loads the tileset the path names into a new tileset.
[[nodiscard]] bool LoadTileset(const std::string& path, FileSystem& fileSystem, Tileset& tileset, Error& error);

// A header text runs from offset to its first zero byte, or to the end of the
// header when there is none, past the field it starts in.
std::string HeaderText(const std::uint8_t* header, std::size_t headerSize, std::size_t offset);

}  // namespace gridport
