#include "view/Picture.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace gridport {

namespace {

void DrawLayer(const MapLayer& layer, const Tileset& tileset, RgbaImage& canvas) {
    const auto tileWidth = static_cast<std::size_t>(tileset.tileWidth);
    const auto tileHeight = static_cast<std::size_t>(tileset.tileHeight);
    const auto canvasWidth = static_cast<std::size_t>(canvas.width);
    const std::size_t tileCount = tileset.tiles.size();
    if (layer.tiles.size() != static_cast<std::size_t>(layer.width) * static_cast<std::size_t>(layer.height)) {
        return;
    }
    for (std::size_t y = 0; y < static_cast<std::size_t>(layer.height); ++y) {
        for (std::size_t x = 0; x < static_cast<std::size_t>(layer.width); ++x) {
            const std::uint32_t index = layer.tiles[y * static_cast<std::size_t>(layer.width) + x];
            if (index >= tileCount) {
                continue;
            }
            const std::vector<std::uint8_t>& source = tileset.tiles[index].image.pixels;
            if (source.size() != tileWidth * tileHeight * RgbaImage::kBytesPerPixel) {
                continue;
            }
            for (std::size_t row = 0; row < tileHeight; ++row) {
                const std::uint8_t* from = source.data() + row * tileWidth * RgbaImage::kBytesPerPixel;
                std::uint8_t* to = canvas.pixels.data() +
                                   ((y * tileHeight + row) * canvasWidth + x * tileWidth) * RgbaImage::kBytesPerPixel;
                for (std::size_t column = 0; column < tileWidth; ++column) {
                    BlendOver(to + column * RgbaImage::kBytesPerPixel, from + column * RgbaImage::kBytesPerPixel);
                }
            }
        }
    }
}

}  // namespace

void BlendOver(std::uint8_t* below, const std::uint8_t* above) {
    const std::uint32_t alpha = above[3];
    if (alpha == 255) {
        std::memcpy(below, above, RgbaImage::kBytesPerPixel);
        return;
    }
    if (alpha == 0) {
        return;
    }
    // In units of 1/255 squared: the covered share of what lies below.
    const std::uint32_t belowWeight = below[3] * (255 - alpha);
    const std::uint32_t total = alpha * 255 + belowWeight;
    for (std::size_t c = 0; c < 3; ++c) {
        below[c] = static_cast<std::uint8_t>((above[c] * alpha * 255 + below[c] * belowWeight + total / 2) / total);
    }
    below[3] = static_cast<std::uint8_t>((total + 127) / 255);
}

PictureSize MeasurePicture(const TileMap& map) {
    std::uint64_t columns = 0;
    std::uint64_t rows = 0;
    for (const MapLayer& layer : map.layers) {
        columns = std::max<std::uint64_t>(columns, static_cast<std::uint64_t>(std::max(layer.width, 0)));
        rows = std::max<std::uint64_t>(rows, static_cast<std::uint64_t>(std::max(layer.height, 0)));
    }
    return PictureSize{columns * static_cast<std::uint64_t>(std::max(map.tileset.tileWidth, 0)),
                       rows * static_cast<std::uint64_t>(std::max(map.tileset.tileHeight, 0))};
}

bool DrawPicture(const TileMap& map, std::optional<std::size_t> onlyLayer, RgbaImage& canvas, std::string& error) {
    if (onlyLayer.has_value() && *onlyLayer >= map.layers.size()) {
        error = "there is no layer " + std::to_string(*onlyLayer) + "; the map has " +
                std::to_string(map.layers.size()) + (map.layers.size() == 1 ? " layer" : " layers");
        return false;
    }
    const PictureSize size = MeasurePicture(map);
    const std::string dimensions = std::to_string(size.width) + " x " + std::to_string(size.height) + " pixels";
    if (size.width > kMaxPictureSide || size.height > kMaxPictureSide) {
        error = "the picture would be " + dimensions + "; rmpview draws at most " + std::to_string(kMaxPictureSide) +
                " pixels on a side";
        return false;
    }
    if (size.width == 0 || size.height == 0) {
        error = "there is nothing to draw: the picture would be " + dimensions;
        return false;
    }
    try {
        canvas = RgbaImage(static_cast<std::int32_t>(size.width), static_cast<std::int32_t>(size.height));
    } catch (const std::bad_alloc&) {
        error = "not enough memory for a picture of " + dimensions;
        return false;
    }
    for (std::size_t i = 0; i < map.layers.size(); ++i) {
        const bool wanted = onlyLayer.has_value() ? i == *onlyLayer : map.layers[i].showFlag;
        if (wanted) {
            DrawLayer(map.layers[i], map.tileset, canvas);
        }
    }
    return true;
}

}  // namespace gridport
