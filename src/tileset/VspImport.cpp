// The VSP tileset: a version word, a palette of 256 six-bit RGB entries, a
// tile count, then 16 x 16 palette indices per tile, plain (version 2) or
// run-length compressed (every other version).

#include <algorithm>
#include <array>
#include <new>

#include "filesystem/BufferedReader.h"
#include "filesystem/ByteOrder.h"
#include "tileset/Tileset.h"

namespace gridport {

namespace {

constexpr std::size_t kHeaderSize = 772;
constexpr std::size_t kPaletteOffset = 2;
constexpr std::size_t kCountOffset = 770;
constexpr std::uint16_t kPlainVersion = 2;
constexpr std::int32_t kTileSide = 16;
constexpr std::size_t kTilePixels = kTileSide * kTileSide;
constexpr std::uint8_t kRunMarker = 0xFF;
constexpr std::uint64_t kRunItemSize = 3;
constexpr std::uint64_t kLongestRun = 255;

using Palette = std::array<std::array<std::uint8_t, RgbaImage::kBytesPerPixel>, 256>;

// Index 0 is transparent; the others take their six-bit components times
// four, within eight bits, and are opaque.
Palette ConvertPalette(const std::uint8_t* entries) {
    Palette palette{};
    for (std::size_t i = 1; i < palette.size(); ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            palette[i][c] = static_cast<std::uint8_t>(entries[3 * i + c] << 2);
        }
        palette[i][3] = 255;
    }
    return palette;
}

// Expands the compressed stream into exactly indices.size() bytes. A run
// that would carry past the end is cut there.
bool Decompress(BufferedReader& in, std::vector<std::uint8_t>& indices) {
    std::size_t position = 0;
    while (position < indices.size()) {
        std::uint8_t byte = 0;
        if (!in.ReadU8(byte)) {
            return false;
        }
        if (byte != kRunMarker) {
            indices[position++] = byte;
            continue;
        }
        std::uint8_t length = 0;
        std::uint8_t value = 0;
        if (!in.ReadU8(length) || !in.ReadU8(value)) {
            return false;
        }
        const std::size_t run = std::min<std::size_t>(length, indices.size() - position);
        std::fill_n(indices.begin() + static_cast<std::ptrdiff_t>(position), run, value);
        position += run;
    }
    return true;
}

}  // namespace

bool Tileset::ImportVsp(const std::string& path, FileSystem& fileSystem) {
    const std::unique_ptr<File> file = fileSystem.Open(path, OpenMode::Read);
    if (file == nullptr) {
        return false;
    }
    try {
        BufferedReader in(*file);
        std::uint8_t header[kHeaderSize];
        if (!in.Read(header, sizeof header)) {
            return false;
        }
        const std::uint16_t count = LoadU16(header + kCountOffset);
        const std::uint64_t total = std::uint64_t{count} * kTilePixels;
        std::vector<std::uint8_t> indices;
        if (LoadU16(header) == kPlainVersion) {
            if (total > in.Remaining()) {
                return false;
            }
            indices.resize(total);
            if (!in.Read(indices.data(), indices.size())) {
                return false;
            }
        } else {
            if (!in.Skip(4)) {
                return false;
            }
            // No stream expands further than a run of 255 per three bytes.
            const std::uint64_t left = in.Remaining();
            if (total > left / kRunItemSize * kLongestRun + left % kRunItemSize) {
                return false;
            }
            indices.resize(total);
            if (!Decompress(in, indices)) {
                return false;
            }
        }

        const Palette palette = ConvertPalette(header + kPaletteOffset);
        std::vector<Tile> imported(count);
        const std::uint8_t* index = indices.data();
        for (Tile& tile : imported) {
            tile.image = RgbaImage(kTileSide, kTileSide);
            std::uint8_t* pixel = tile.image.pixels.data();
            for (std::size_t k = 0; k < kTilePixels; ++k, pixel += RgbaImage::kBytesPerPixel) {
                std::copy_n(palette[*index++].data(), RgbaImage::kBytesPerPixel, pixel);
            }
        }
        // The tiles are 16 x 16 whatever the tileset held before, and so is
        // its tile size, which the RTS writer relies on.
        tileWidth = kTileSide;
        tileHeight = kTileSide;
        tiles.swap(imported);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace gridport
