#pragma once

#include <cstdint>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "tileset/Rgba.h"
#include "tileset/TilesetReader.h"

namespace gridport {

// A rectangle of pixels (tileset/Rgba.h), row by row: pixel (x, y) starts
// at byte 4 * (y * width + x).
struct RgbaImage {
    static constexpr std::size_t kBytesPerPixel = gridport::kBytesPerPixel;

    RgbaImage() = default;
    // Every byte 0: transparent black. Negative sizes count as 0; a size no
    // vector can hold throws std::bad_alloc, as a failed allocation does.
    RgbaImage(std::int32_t width, std::int32_t height);

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;
};

struct Segment {
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;

    bool operator==(const Segment&) const = default;
};
using SegmentList = std::vector<Segment>;

// One tileset entry: its pixels, the three values of the RTS tile
// information block and its segments.
struct Tile {
    RgbaImage image;
    bool infoFlag = false;
    std::int32_t infoValueA = 0;
    std::int32_t infoValueB = 0;
    SegmentList segments;
};

// A whole tileset in memory, as the tests build and read it back: index i
// is tiles[i], every tile's image tileWidth x tileHeight pixels.
struct Tileset {
    std::int32_t TileCount() const { return static_cast<std::int32_t>(tiles.size()); }

    std::int32_t tileWidth = 16;
    std::int32_t tileHeight = 16;
    std::vector<Tile> tiles;
};

// A whole tileset from a reader's position, through the product's reader.
Expected<Tileset> LoadTileset(BufferedReader& in, TilesetKind kind);

}  // namespace gridport
