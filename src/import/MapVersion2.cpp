// Version-2 MAP files: a 206-byte header, up to seven 12-byte layer records,
// then each layer's run-length compressed cells. The layer-order text decides
// which layers reach the map, in which order, and which is the header layer.

#include <algorithm>
#include <array>

#include "filesystem/BufferedReader.h"
#include "filesystem/ByteOrder.h"
#include "import/ImportSteps.h"
#include "map/GridMemory.h"

namespace gridport {

namespace {

constexpr std::size_t kHeaderSize = 206;
constexpr std::size_t kTextOffset = 70;
constexpr std::size_t kOrderOffset = 130;
constexpr std::size_t kXOffset = 150;
constexpr std::size_t kYOffset = 152;
constexpr std::size_t kCountOffset = 205;
constexpr std::size_t kRecordSize = 12;
constexpr std::size_t kMaxLayers = 7;
constexpr std::uint64_t kLayerPrefixSize = 4;
constexpr std::uint16_t kRunMarker = 0xFF00;
constexpr std::uint64_t kLongestRun = 255;

struct LayerSize {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// The fewest bytes that can encode a layer of this many cells: runs of 255
// cost four bytes, a single cell two.
std::uint64_t FewestCellBytes(std::uint64_t cells) {
    const std::uint64_t rest = cells % kLongestRun;
    return cells / kLongestRun * 4 + (rest == 0 ? 0 : rest == 1 ? 2 : 4);
}

// Where decoded cells go: a single value fills one cell, a run r cells (one
// for a run length of 0 or 1), cut at the layer's last cell.
struct CellSink {
    void Single(std::uint16_t value) {
        out[filled++] = value;
        top = std::max<std::uint32_t>(top, value);
    }
    void Run(std::uint16_t marker, std::uint16_t value) {
        const std::size_t length = std::max<std::size_t>(marker & 0xFF, 1);
        const std::size_t run = std::min(length, total - filled);
        std::fill_n(out + filled, run, value);
        filled += run;
        top = std::max<std::uint32_t>(top, value);
    }

    std::uint32_t* out;
    std::size_t total;
    std::size_t filled;
    std::uint32_t top;
};

bool IsRunMarker(std::uint16_t word) {
    return (word & kRunMarker) == kRunMarker;
}

// Fills a layer of width x height cells from the word stream and raises
// largest to the largest cell. The grid grows a block ahead of the decoder,
// so that each block is zeroed and overwritten while it is still in cache.
// Items are decoded straight from the reader's buffer while a whole one
// (at most four bytes) is there; the rest go through ReadU16, which refills.
bool DecodeLayer(BufferedReader& in, LayerSize size, MapLayer& layer, std::uint32_t& largest) {
    constexpr std::size_t kBlockCells = 64 * 1024;
    const std::size_t total = std::size_t{size.width} * size.height;
    std::vector<std::uint32_t>& cells = layer.tiles;
    ReserveGrid(cells, total);
    // The room is reserved, so the cells stay where they are as the grid grows.
    CellSink sink{cells.data(), total, 0, largest};
    while (sink.filled < total) {
        if (cells.size() - sink.filled <= kLongestRun) {
            cells.resize(std::min(total, cells.size() + kBlockCells));
        }
        // Below stop, even the longest run stays inside the grown cells.
        const std::size_t stop = cells.size() == total ? total : cells.size() - kLongestRun;
        const std::uint8_t* const start = in.BufferedData();
        const std::uint8_t* const end = start + in.BufferedSize();
        const std::uint8_t* p = start;
        while (sink.filled < stop && end - p >= 4) {
            const std::uint16_t word = LoadU16(p);
            if (IsRunMarker(word)) {
                sink.Run(word, LoadU16(p + 2));
                p += 4;
            } else {
                sink.Single(word);
                p += 2;
            }
        }
        in.Take(static_cast<std::size_t>(p - start));
        if (p != start) {
            continue;
        }
        std::uint16_t word = 0;
        if (!in.ReadU16(word)) {
            return false;
        }
        if (!IsRunMarker(word)) {
            sink.Single(word);
            continue;
        }
        std::uint16_t value = 0;
        if (!in.ReadU16(value)) {
            return false;
        }
        sink.Run(word, value);
    }
    layer.width = size.width;
    layer.height = size.height;
    largest = sink.top;
    return true;
}

// Walks the layer-order text: a digit d from 1 to 6 appends file layer d - 1
// and makes it current; "E" makes the current layer the header layer.
// Digits naming a layer the file doesn't have, and "E" before any layer is
// current, do nothing. A layer's last mention moves it instead of copying.
void ApplyLayerOrder(std::string_view order, std::vector<MapLayer>& fileLayers, ImportedMap& result) {
    std::array<std::size_t, kMaxLayers> lastMention{};
    std::array<bool, kMaxLayers> mentioned{};
    const auto named = [&](char c) -> std::optional<std::size_t> {
        if (c < '1' || c > '6') {
            return std::nullopt;
        }
        const auto index = static_cast<std::size_t>(c - '1');
        return index < fileLayers.size() ? std::optional(index) : std::nullopt;
    };
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (const auto index = named(order[position])) {
            lastMention[*index] = position;
            mentioned[*index] = true;
        }
    }
    for (std::size_t index = 0; index < fileLayers.size(); ++index) {
        if (!mentioned[index]) {
            fileLayers[index] = MapLayer();
        }
    }
    std::optional<std::int32_t> current;
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (const auto index = named(order[position])) {
            if (lastMention[*index] == position) {
                result.layers.push_back(std::move(fileLayers[*index]));
            } else {
                result.layers.push_back(fileLayers[*index]);
            }
            current = static_cast<std::int32_t>(*index);
        } else if (order[position] == 'E' && current) {
            result.headerLayer = current;
        }
    }
}

}  // namespace

bool ImportMapVersion2(File& file, const std::string& tilesetPath, FileSystem& fileSystem, ImportedMap& result) {
    BufferedReader in(file);
    std::uint8_t header[kHeaderSize];
    if (!in.Read(header, sizeof header)) {
        return false;
    }
    const std::size_t layerCount = header[kCountOffset];
    if (layerCount > kMaxLayers) {
        return false;
    }
    std::array<LayerSize, kMaxLayers> sizes{};
    std::uint64_t fewestBytes = 0;
    for (std::size_t i = 0; i < layerCount; ++i) {
        std::uint8_t record[kRecordSize];
        if (!in.Read(record, sizeof record)) {
            return false;
        }
        sizes[i] = {LoadU16(record + 4), LoadU16(record + 6)};
        fewestBytes += kLayerPrefixSize + FewestCellBytes(std::uint64_t{sizes[i].width} * sizes[i].height);
    }
    // The rest of the file must be able to hold every layer before any grid
    // is allocated.
    if (fewestBytes > in.Remaining()) {
        return false;
    }
    std::vector<MapLayer> fileLayers(layerCount);
    std::uint32_t largest = 0;
    for (std::size_t i = 0; i < layerCount; ++i) {
        MapLayer& layer = fileLayers[i];
        layer.SetName(std::string("Layer ") + static_cast<char>('A' + i));
        if (!in.Skip(kLayerPrefixSize) || !DecodeLayer(in, sizes[i], layer, largest)) {
            return false;
        }
    }

    Tileset tileset;
    if (!LoadTileset(tilesetPath, fileSystem, tileset)) {
        return false;
    }
    if (largest >= static_cast<std::uint32_t>(tileset.TileCount())) {
        return false;
    }

    ApplyLayerOrder(HeaderText(header, sizeof header, kOrderOffset), fileLayers, result);
    result.tileset = std::move(tileset);
    result.linkedFileName = HeaderText(header, sizeof header, kTextOffset);
    result.headerX = LoadU16(header + kXOffset);
    result.headerY = LoadU16(header + kYOffset);
    return true;
}

}  // namespace gridport
