#pragma once

// The import of a Tiled JSON map (.tmj or .json) with one tileset, external (.tsj) or embedded, whose tiles come from
// one PNG picture, into an RMP file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// What an import made (or would make): the RMP's tile layers, the map's size in cells, the embedded tileset's tiles
// (the extra transparent one included), entities and zones.
struct TiledImportSummary {
    std::size_t layers = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t tiles = 0;
    std::size_t entities = 0;
    std::size_t zones = 0;
};

// Whether path names a Tiled JSON map by its ending (".tmj", or ".json", letter case aside).
bool IsTiledMapPath(const std::string& path);

// Imports the map at mapPath into an RMP file at output, replaced only once it is all written (an output that is one
// of the inputs, however spelt, is refused); without output, checks everything and writes nothing. The map file is
// never held whole: it is parsed twice through a small buffer, first into everything but its layers' cells (which are
// only counted), then for the cells alone, which stream into the RMP file as they arrive; a layer's base64 data is
// the one value held whole (with its decoded bytes), one layer at a time. The tileset's picture is read only once its
// size is checked against the tileset's. A failure names the file (map, tileset or picture) and what is wrong.
Expected<TiledImportSummary> ImportTiledMap(const std::string& mapPath, FileSystem& fileSystem,
                                            const std::optional<std::string>& output);

// "3 layers, 20 x 15 cells, 121 tiles, 2 entities, 1 zone".
std::string DescribeImport(const TiledImportSummary& summary);

}  // namespace gridport
