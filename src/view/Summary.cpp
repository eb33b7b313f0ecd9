#include "view/Summary.h"

#include <array>
#include <functional>
#include <vector>

#include "rmp/RmpLayout.h"
#include "view/Wording.h"

namespace gridport {

namespace {

std::string LayerLine(std::size_t index, const MapLayer& layer, std::size_t segments, const LayerCount& count) {
    const unsigned flags = (layer.showFlag ? 0U : 1U) | (layer.factorsEnabled ? 2U : 0U);
    std::string line = "  layer " + std::to_string(index) + " " + Quoted(layer.name) + ": " +
                       std::to_string(layer.width) + " x " + std::to_string(layer.height) + ", flags " +
                       std::to_string(flags) + (layer.showFlag ? " (shown" : " (hidden") +
                       (layer.factorsEnabled ? ", factors on)" : ")") + (layer.auxFlag ? ", aux" : "") + ", " +
                       Counted(segments, "segment", "segments") + ", " +
                       Counted(count.distinct, "distinct tile", "distinct tiles");
    if (count.beyond > 0) {
        line += ", " + Counted(count.beyond, "cell", "cells") + " beyond the tileset (not drawn)";
    }
    return line + "\n";
}

LayerCount CountCells(const MapLayer& layer, std::uint32_t tileCount) {
    // Cells hold 16-bit values in the file.
    std::vector<bool> used(65536, false);
    LayerCount count;
    for (const std::uint32_t cell : layer.tiles) {
        const std::uint32_t value = cell & 0xFFFFU;
        if (!used[value]) {
            used[value] = true;
            ++count.distinct;
        }
        count.beyond += cell >= tileCount ? 1 : 0;
    }
    return count;
}

std::string Text(const std::string& path, const RmpDocument& document,
                 const std::function<std::string(std::size_t)>& layerLine, std::size_t entities, std::size_t zones,
                 std::int64_t tileWidth, std::int64_t tileHeight, std::uint64_t tileCount) {
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
    for (std::size_t i = 0; i < map.layers.size(); ++i) {
        text += layerLine(i);
    }
    text += "entities: " + std::to_string(entities) + "\n";
    text += "zones: " + std::to_string(zones) + "\n";
    text += "tileset: " + std::to_string(tileWidth) + " x " + std::to_string(tileHeight) + " pixels per tile, " +
            Counted(tileCount, "tile", "tiles") + "\n";
    return text;
}

}  // namespace

std::string Summarize(const std::string& path, const RmpDocument& document) {
    const TileMap& map = document.map;
    const auto tileCount = static_cast<std::uint32_t>(map.tileset.TileCount());
    return Text(
        path, document,
        [&](std::size_t i) {
            return LayerLine(i, map.layers[i], map.layers[i].segments.size(), CountCells(map.layers[i], tileCount));
        },
        map.entities.size(), map.zones.size(), map.tileset.tileWidth, map.tileset.tileHeight, tileCount);
}

std::string Summarize(const std::string& path, const RmpOutline& outline, const std::vector<LayerCount>& counts,
                      std::uint32_t tileWidth, std::uint32_t tileHeight, std::uint32_t tileCount) {
    const TileMap& map = outline.document.map;
    return Text(
        path, outline.document,
        [&](std::size_t i) { return LayerLine(i, map.layers[i], outline.places[i].segments, counts[i]); },
        outline.entities, outline.zones, tileWidth, tileHeight, tileCount);
}

}  // namespace gridport
