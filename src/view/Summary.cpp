#include "view/Summary.h"

#include "view/Wording.h"

namespace gridport {

std::string Summarize(const std::string& path, const RmpOutline& outline, const std::vector<LayerCount>& counts,
                      std::uint32_t tileWidth, std::uint32_t tileHeight, std::uint32_t tileCount) {
    std::string text = path + ": RMP map file, version " + std::to_string(rmp::kVersion) + "\n";
    text += "header: x " + std::to_string(outline.headerX) + ", y " + std::to_string(outline.headerY) + ", layer " +
            std::to_string(outline.headerLayer) + ", mode " + std::to_string(outline.headerMode) + "\n";
    for (std::size_t i = 0; i < rmp::kStringCount; ++i) {
        if (!outline.strings[i].empty()) {
            text += std::string(rmp::kStringNames[i]) + ": " + Quoted(outline.strings[i]) + "\n";
        }
    }
    text += "layers: " + std::to_string(outline.layers.size()) + "\n";
    for (std::size_t i = 0; i < outline.layers.size(); ++i) {
        const RmpLayerPlace& layer = outline.layers[i];
        text += "  layer " + std::to_string(i) + " " + Quoted(layer.name) + ": " + std::to_string(layer.width) +
                " x " + std::to_string(layer.height) + ", flags " + std::to_string(layer.Flags()) +
                (layer.showFlag ? " (shown" : " (hidden") + (layer.factorsEnabled ? ", factors on)" : ")") +
                (layer.auxFlag ? ", aux" : "") + ", " + Counted(layer.segments, "segment", "segments") + ", " +
                Counted(counts[i].distinct, "distinct tile", "distinct tiles");
        if (counts[i].beyond > 0) {
            text += ", " + Counted(counts[i].beyond, "cell", "cells") + " beyond the tileset (not drawn)";
        }
        text += "\n";
    }
    text += "entities: " + std::to_string(outline.entities) + "\n";
    text += "zones: " + std::to_string(outline.zones) + "\n";
    text += "tileset: " + std::to_string(tileWidth) + " x " + std::to_string(tileHeight) + " pixels per tile, " +
            Counted(tileCount, "tile", "tiles") + "\n";
    return text;
}

}  // namespace gridport
