#include "support/Tileset.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace gridport {

namespace {

// Counted in 64 bits: in a 32-bit process 32768 x 32768 pixels would wrap
// around to no bytes at all. A size no vector can hold throws like a failed
// allocation.
std::size_t PixelBytes(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * kBytesPerPixel;
    if (bytes > std::vector<std::uint8_t>().max_size()) {
        throw std::bad_alloc();
    }
    return static_cast<std::size_t>(bytes);
}

}  // namespace

RgbaImage::RgbaImage(std::int32_t width, std::int32_t height)
    : width(std::max(width, 0)), height(std::max(height, 0)), pixels(PixelBytes(width, height)) {}

Expected<Tileset> LoadTileset(BufferedReader& in, TilesetKind kind) {
    TilesetReader reader(in, kind);
    const Expected<TilesetHeader> header = reader.ReadHeader();
    if (!header) {
        return header.error();
    }
    Tileset tileset;
    tileset.tileWidth = static_cast<std::int32_t>(header->tileWidth);
    tileset.tileHeight = static_cast<std::int32_t>(header->tileHeight);
    tileset.tiles.reserve(header->tileCount);
    for (std::size_t i = 0; i < header->tileCount; ++i) {
        // The image is made once its bytes are known to be there.
        RgbaImage& image = tileset.tiles.emplace_back().image;
        std::size_t filled = 0;
        const ByteVisitor copy = [&](const std::uint8_t* bytes, std::size_t count) {
            if (filled == 0) {
                image = RgbaImage(tileset.tileWidth, tileset.tileHeight);
            }
            std::memcpy(image.pixels.data() + filled, bytes, count);
            filled += count;
        };
        if (Expected<void> read = reader.ReadPixels(i, copy); !read) {
            return read.error();
        }
        if (filled == 0) {
            image = RgbaImage(tileset.tileWidth, tileset.tileHeight);
        }
    }
    RtsTileInfo info;
    for (std::size_t i = 0; i < tileset.tiles.size(); ++i) {
        if (Expected<void> read = reader.ReadInfo(i, info); !read) {
            return read.error();
        }
        Tile& tile = tileset.tiles[i];
        tile.infoFlag = info.infoFlag;
        tile.infoValueA = info.infoValueA;
        tile.infoValueB = info.infoValueB;
        for (const auto& [x1, y1, x2, y2] : info.segments) {
            tile.segments.push_back(Segment{x1, y1, x2, y2});
        }
    }
    return tileset;
}

}  // namespace gridport
