#pragma once

// A MAP file's header, layer table and layer starts; the cells are decoded as a stream when wanted (MapReader).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gridport {

// One layer as the MAP file stores it.
struct MapFileLayer {
    std::string name;  // "Background", "Foreground"; "Layer A", "Layer B", ...
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    // The file position of the layer's first cell (version 2: its first word, after the four bytes before them).
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

    // Whether a 0 cell in a file layer is empty: so in a version-1 foreground, pointed at the transparent tile added.
    bool ZeroIsEmpty(std::size_t fileLayer) const { return version == 1 && fileLayer == 1; }
};

}  // namespace gridport
