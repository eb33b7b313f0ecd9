#include "view/Summary.h"

#include <array>
#include <vector>

#include "rmp/RmpLayout.h"
#include "view/Wording.h"

namespace gridport {

namespace {

std::string LayerLine(std::size_t index, const MapLayer& layer, std::uint32_t tileCount) {
    // Cells hold 16-bit values in the file.
    std::vector<bool> used(65536, false);
    std::size_t distinct = 0;
    std::size_t beyond = 0;
    for (const std::uint32_t cell : layer.tiles) {
        const std::uint32_t value = cell & 0xFFFFU;
        if (!used[value]) {
            used[value] = true;
            ++distinct;
        }
        beyond += cell >= tileCount ? 1 : 0;
    }
    const unsigned flags = (layer.showFlag ? 0U : 1U) | (layer.factorsEnabled ? 2U : 0U);
    std::string line = "  layer " + std::to_string(index) + " " + Quoted(layer.name) + ": " +
                       std::to_string(layer.width) + " x " + std::to_string(layer.height) + ", flags " +
                       std::to_string(flags) + (layer.showFlag ? " (shown" : " (hidden") +
                       (layer.factorsEnabled ? ", factors on)" : ")") + (layer.auxFlag ? ", aux" : "") + ", " +
                       Counted(layer.segments.size(), "segment", "segments") + ", " +
                       Counted(distinct, "distinct tile", "distinct tiles");
    if (beyond > 0) {
        line += ", " + Counted(beyond, "cell", "cells") + " beyond the tileset (not drawn)";
    }
    return line + "\n";
}

}  // namespace

std::string Summarize(const std::string& path, const RmpDocument& document) {
    const TileMap& map = document.map;
    std::string text = path + ": RMP map file, version " + std::to_string(rmp::kVersion) + "\n";
    text += "header: x " + std::to_string(map.headerX) + ", y " + std::to_string(map.headerY) + ", layer " +
            std::to_string(map.headerLayer) + ", mode " + std::to_string(map.headerMode) + "\n";
    const std::array<std::pair<const char*, const std::string*>, 9> strings = {{
        {"string 1", &document.unnamedStrings[0]},
        {"tileset name stored in the map", &map.linkedFileName},
        {"string 3", &document.unnamedStrings[1]},
        {"text A", &map.textA},
        {"text B", &map.textB},
        {"text list 1", &map.textList[0]},
        {"text list 2", &map.textList[1]},
        {"text list 3", &map.textList[2]},
        {"text list 4", &map.textList[3]},
    }};
    for (const auto& [label, value] : strings) {
        if (!value->empty()) {
            text += std::string(label) + ": " + Quoted(*value) + "\n";
        }
    }
    text += "layers: " + std::to_string(map.layers.size()) + "\n";
    const auto tileCount = static_cast<std::uint32_t>(map.tileset.TileCount());
    for (std::size_t i = 0; i < map.layers.size(); ++i) {
        text += LayerLine(i, map.layers[i], tileCount);
    }
    text += "entities: " + std::to_string(map.entities.size()) + "\n";
    text += "zones: " + std::to_string(map.zones.size()) + "\n";
    text += "tileset: " + std::to_string(map.tileset.tileWidth) + " x " + std::to_string(map.tileset.tileHeight) +
            " pixels per tile, " + Counted(tileCount, "tile", "tiles") + "\n";
    return text;
}

}  // namespace gridport
