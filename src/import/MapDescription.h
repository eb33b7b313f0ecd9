#pragma once

// A MAP file described rather than loaded: its header, its layer table and
// where each layer's cells start, with the cells decoded as a stream when
// they are wanted. TileMap::ImportMap materialises the streams into grids;
// the conversion writes them straight into the RMP file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/Error.h"
#include "filesystem/File.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// One layer as the MAP file stores it.
struct MapFileLayer {
    std::string name;  // "Background", "Foreground"; "Layer A", "Layer B", ...
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    // The file position of the layer's first cell (for version 2, of its
    // first word, after the four bytes that precede them).
    std::uint64_t cellsOffset = 0;

    std::uint64_t CellCount() const { return std::uint64_t{width} * height; }
};

struct MapDescription {
    int version = 0;                          // 1 or 2
    std::string linkedFileName;               // the tileset name stored in the map
    std::int32_t headerX = 0;
    std::int32_t headerY = 0;
    std::optional<std::int32_t> headerLayer;  // the header layer the map sets, if any
    std::optional<std::int32_t> headerMode;
    std::string layerOrder;                   // version 2: the layer-order text; empty for version 1
    std::vector<MapFileLayer> fileLayers;     // as the file stores them
    std::vector<std::size_t> outputLayers;    // the file layer of each layer the map gets, in order
};

// Reads the header and the layer table of a MAP file of either version, and
// finds where each layer's cells start (for version 2 by walking the
// compressed cells of the layers before it).
[[nodiscard]] bool DescribeMap(File& file, const std::string& path, MapDescription& description, Error& error);

// Decodes every cell of one file layer, in row-major order, handing them to
// visit in blocks of raw 16-bit values (before the version-1 foreground rule).
[[nodiscard]] bool VisitLayerCells(File& file, const std::string& path, const MapDescription& description,
                                   std::size_t fileLayer,
                                   const std::function<void(const std::uint16_t* cells, std::size_t count)>& visit,
                                   Error& error);

struct TilesetDescription {
    bool vsp = false;
    std::int32_t tileCount = 0;
    std::int32_t tileWidth = 0;
    std::int32_t tileHeight = 0;
};

// Reads a tileset's header (kind chosen by name as gridport chooses), and
// checks that the file is long enough for the tiles the header counts.
[[nodiscard]] bool DescribeTileset(const std::string& path, FileSystem& fileSystem, TilesetDescription& description,
                                   Error& error);

enum class ConversionResult { Converted, ImportFailed, SaveFailed };

// The whole conversion as gridport runs it. With outputPath empty it checks
// everything the conversion checks (import and the RMP format's limits) and
// writes nothing: that is mapview's verdict.
// It runs in one streaming pass; its outcome (result, reason aside, and the
// bytes written) is that of ConvertMapThroughModel.
[[nodiscard]] ConversionResult ConvertMap(const std::string& mapPath, const std::string& tilesetPath, const std::string& outputPath,
                            FileSystem& fileSystem, Error& error);
// The same through the map model: TileMap::ImportMap, then the format check
// and TileMap::Save. The reference the streaming pass is tested against.
[[nodiscard]] ConversionResult ConvertMapThroughModel(const std::string& mapPath, const std::string& tilesetPath,
                                        const std::string& outputPath, FileSystem& fileSystem, Error& error);

}  // namespace gridport
