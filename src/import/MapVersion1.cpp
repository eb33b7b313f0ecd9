// Version-1 MAP files: a 100-byte header, then two uncompressed layers of
// 16-bit tile indices. In the second layer 0 means an empty cell, which
// becomes a transparent tile appended to the tileset.

#include <algorithm>

#include "filesystem/BufferedReader.h"
#include "filesystem/ByteOrder.h"
#include "import/ImportSteps.h"
#include "map/GridMemory.h"

namespace gridport {

namespace {

constexpr std::size_t kHeaderSize = 100;
constexpr std::size_t kTextOffset = 14;
constexpr std::size_t kSelectorOffset = 27;
constexpr std::size_t kXOffset = 62;
constexpr std::size_t kYOffset = 64;
constexpr std::size_t kWidthOffset = 68;
constexpr std::size_t kHeightOffset = 70;
constexpr std::int32_t kMode = 4;

// Cells per block: the block's file bytes are at least a reader buffer, so
// they go straight from the file into the block.
constexpr std::size_t kBlockCells = 64 * 1024;

// Reads a layer of width x height 16-bit cells into the layer's 32-bit grid
// and raises largest to the largest cell read. The grid grows a block at a
// time, and each block is widened from the file's bytes while it is still in
// cache.
bool ReadLayer(BufferedReader& in, std::uint16_t width, std::uint16_t height, std::vector<std::uint8_t>& block,
               MapLayer& layer, std::uint32_t& largest) {
    const std::size_t total = std::size_t{width} * height;
    std::vector<std::uint32_t>& cells = layer.tiles;
    ReserveGrid(cells, total);
    std::uint32_t top = largest;
    while (cells.size() < total) {
        const std::size_t done = cells.size();
        const std::size_t count = std::min(kBlockCells, total - done);
        if (!in.Read(block.data(), 2 * count)) {
            return false;
        }
        cells.resize(done + count);
        const std::uint8_t* bytes = block.data();
        std::uint32_t* out = cells.data() + done;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t value = LoadU16(bytes + 2 * i);
            out[i] = value;
            top = std::max(top, value);
        }
    }
    layer.width = width;
    layer.height = height;
    largest = top;
    return true;
}

// The header layer the selector at offset 27 names; other values name none.
std::optional<std::int32_t> SelectedLayer(std::uint8_t selector) {
    switch (selector) {
        case 0:
        case 3:
            return 0;
        case 1:
        case 2:
            return 1;
        default:
            return std::nullopt;
    }
}

}  // namespace

bool ImportMapVersion1(File& file, const std::string& tilesetPath, FileSystem& fileSystem, ImportedMap& result) {
    BufferedReader in(file);
    std::uint8_t header[kHeaderSize];
    if (!in.Read(header, sizeof header)) {
        return false;
    }
    const std::uint16_t width = LoadU16(header + kWidthOffset);
    const std::uint16_t height = LoadU16(header + kHeightOffset);
    // Both layers must be in the file before their grids are allocated.
    if (4 * std::uint64_t{width} * height > in.Remaining()) {
        return false;
    }
    MapLayer background;
    MapLayer foreground;
    background.SetName("Background");
    foreground.SetName("Foreground");
    std::uint32_t largest = 0;
    std::vector<std::uint8_t> block(2 * std::min<std::size_t>(kBlockCells, std::size_t{width} * height));
    if (!ReadLayer(in, width, height, block, background, largest) ||
        !ReadLayer(in, width, height, block, foreground, largest)) {
        return false;
    }

    Tileset tileset;
    if (!LoadTileset(tilesetPath, fileSystem, tileset)) {
        return false;
    }
    const auto transparent = static_cast<std::uint32_t>(tileset.TileCount());
    if (largest >= transparent) {
        return false;
    }
    // Written without a branch, so that the loop vectorises.
    for (std::uint32_t& cell : foreground.tiles) {
        cell = cell == 0 ? transparent : cell;
    }
    tileset.AppendBlankTiles(1);
    std::vector<std::uint8_t>& pixels = tileset.tiles.back().image.pixels;
    std::fill(pixels.begin(), pixels.end(), std::uint8_t{0});

    result.layers.reserve(2);
    result.layers.push_back(std::move(background));
    result.layers.push_back(std::move(foreground));
    result.tileset = std::move(tileset);
    result.linkedFileName = HeaderText(header, sizeof header, kTextOffset);
    result.headerX = LoadU16(header + kXOffset);
    result.headerY = LoadU16(header + kYOffset);
    result.headerMode = kMode;
    result.headerLayer = SelectedLayer(header[kSelectorOffset]);
    return true;
}

}  // namespace gridport
