#include "picture/StreamedRmp.h"

#include <algorithm>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "rmp/RmpLayout.h"
#include "tileset/TilesetReader.h"
#include "picture/Summary.h"
#include "picture/Wording.h"

namespace gridport {

namespace {

// What a layer's reader buffers: kReadBuffers shared out, within these bounds.
constexpr std::size_t kLeastBuffer = 4 * 1024;
constexpr std::size_t kMostBuffer = 64 * 1024;

std::string GridWords(const PictureSource::Layer& layer, std::size_t index) {
    return "the " + std::to_string(layer.width) + " x " + std::to_string(layer.height) + " grid of layer " +
           std::to_string(index);
}

}  // namespace

Expected<std::unique_ptr<StreamedRmp>> StreamedRmp::Open(File& file, const std::string& path, bool draw) {
    std::unique_ptr<StreamedRmp> rmp(new StreamedRmp(file, path));
    BufferedReader& in = rmp->in_;
    Expected<RmpOutline> outline = ReadRmpOutline(in);
    if (!outline) {
        return outline.error();
    }
    rmp->outline_ = std::move(*outline);
    TilesetReader tileset(in, TilesetKind::Rts);
    const Expected<TilesetHeader> header = tileset.ReadHeader();
    if (!header) {
        return header.error();
    }
    rmp->header_ = *header;
    Expected<TileLevels> levels = TileLevels::Read(tileset, *header, draw);
    if (!levels) {
        return levels.error();
    }
    rmp->tiles_ = std::move(*levels);
    RtsTileInfo info;
    for (std::size_t tile = 0; tile < header->tileCount; ++tile) {
        if (Expected<void> read = tileset.ReadInfo(tile, info); !read) {
            return read.error();
        }
    }
    if (in.Remaining() != 0) {
        return in.Fail(in.Position(),
                       Counted(in.Remaining(), "byte follows", "bytes follow") + " the end of the tileset");
    }
    for (const RmpLayerPlace& layer : rmp->outline_.layers) {
        rmp->layers_.push_back(Layer{layer.name, layer.showFlag, layer.width, layer.height});
    }
    rmp->in_.ShareFile();
    return rmp;
}

Expected<const std::uint32_t*> StreamedRmp::Row(std::size_t layer, std::size_t row) {
    readers_.resize(layers_.size());
    std::unique_ptr<BufferedReader>& rows = readers_[layer];
    if (rows == nullptr) {
        const std::size_t buffer = std::clamp(kReadBuffers / layers_.size(), kLeastBuffer, kMostBuffer);
        rows = std::make_unique<BufferedReader>(file_, in_.Path(), buffer);
        rows->ShareFile();
    }
    const auto width = static_cast<std::size_t>(layers_[layer].width);
    const std::uint64_t at = outline_.layers[layer].cells + std::uint64_t{row} * width * rmp::kCellSize;
    if (Expected<void> moved = rows->MoveTo(at, [&] { return GridWords(layers_[layer], layer); }); !moved) {
        return moved.error();
    }
    bytes_.resize(width * rmp::kCellSize);
    cells_.resize(width);
    if (Expected<void> read = rows->Read(bytes_.data(), bytes_.size(), [&] { return GridWords(layers_[layer], layer); });
        !read) {
        return read.error();
    }
    LoadU16s(bytes_.data(), width, cells_.data());
    return cells_.data();
}

Expected<std::string> StreamedRmp::Summary() {
    const RmpOutline& rmp = outline_;
    std::string text = in_.Path() + ": RMP map file, version " + std::to_string(rmp::kVersion) + "\n";
    text += "header: x " + std::to_string(rmp.headerX) + ", y " + std::to_string(rmp.headerY) + ", layer " +
            std::to_string(rmp.headerLayer) + ", mode " + std::to_string(rmp.headerMode) + "\n";
    for (std::size_t i = 0; i < rmp::kStringCount; ++i) {
        if (!rmp.strings[i].empty()) {
            text += std::string(rmp::kStringNames[i]) + ": " + Quoted(rmp.strings[i]) + "\n";
        }
    }
    text += "layers: " + std::to_string(rmp.layers.size()) + "\n";
    for (std::size_t i = 0; i < rmp.layers.size(); ++i) {
        DistinctCells distinct;
        std::uint64_t beyond = 0;
        for (std::size_t y = 0; y < layers_[i].height; ++y) {
            const Expected<const std::uint32_t*> row = Row(i, y);
            if (!row) {
                return row.error();
            }
            for (const std::uint32_t* cell = *row; cell != *row + layers_[i].width; ++cell) {
                distinct.Add(static_cast<std::uint16_t>(*cell));
                beyond += *cell >= header_.tileCount ? 1 : 0;
            }
        }
        const RmpLayerPlace& layer = rmp.layers[i];
        text += "  layer " + std::to_string(i) + " " + Quoted(layer.name) + ": " + std::to_string(layer.width) +
                " x " + std::to_string(layer.height) + ", flags " + std::to_string(layer.Flags()) +
                (layer.showFlag ? " (shown" : " (hidden") + (layer.factorsEnabled ? ", factors on)" : ")") +
                (layer.auxFlag ? ", aux" : "") + ", " + Counted(layer.segments, "segment", "segments") + ", " +
                Counted(distinct.count, "distinct tile", "distinct tiles") +
                (beyond > 0 ? ", " + Counted(beyond, "cell", "cells") + " beyond the tileset (not drawn)" : "") + "\n";
    }
    text += "entities: " + std::to_string(rmp.entities) + "\n";
    text += "zones: " + std::to_string(rmp.zones) + "\n";
    return text + "tileset: " + std::to_string(header_.tileWidth) + " x " + std::to_string(header_.tileHeight) +
           " pixels per tile, " + Counted(header_.tileCount, "tile", "tiles") + "\n";
}

}  // namespace gridport
