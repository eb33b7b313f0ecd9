// Version-1 MAP files: a 100-byte header, then two uncompressed layers of
// 16-bit tile indices. In the second layer 0 means an empty cell, which the
// map turns into a transparent tile appended to the tileset.

#include <algorithm>

#include "filesystem/ByteOrder.h"
#include "import/ImportSteps.h"
#include "import/MapReader.h"

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

bool ReadVersion1Header(BufferedReader& in, const std::string& path, MapDescription& description,
                        std::size_t& located, Error& error) {
    std::uint8_t header[kHeaderSize];
    if (!in.Read(header, sizeof header, path, "the 100-byte version-1 header", error)) {
        return false;
    }
    const std::uint16_t width = LoadU16(header + kWidthOffset);
    const std::uint16_t height = LoadU16(header + kHeightOffset);
    const std::uint64_t layerBytes = 2 * std::uint64_t{width} * height;
    if (!in.Need(2 * layerBytes, path,
                 "the pair of " + std::to_string(width) + " x " + std::to_string(height) + " layers", error)) {
        return false;
    }
    description.version = 1;
    description.linkedFileName = HeaderText(header, sizeof header, kTextOffset);
    description.headerX = LoadU16(header + kXOffset);
    description.headerY = LoadU16(header + kYOffset);
    description.headerMode = kMode;
    description.headerLayer = SelectedLayer(header[kSelectorOffset]);
    description.fileLayers = {MapFileLayer{"Background", width, height, kHeaderSize},
                              MapFileLayer{"Foreground", width, height, kHeaderSize + layerBytes}};
    description.outputLayers = {0, 1};
    located = 2;
    return true;
}

bool DecodeVersion1Cells(BufferedReader& in, const std::string& path, const MapFileLayer& layer, CellSink& sink,
                         Error& error) {
    const std::uint64_t total = layer.CellCount();
    // The file stores the cells as the sink takes them. A block is at least
    // a whole reader buffer, so its bytes come straight from the file.
    for (std::uint64_t done = 0; done < total;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockCells, total - done));
        if (in.Remaining() < 2 * count) {
            const std::uint64_t whole = in.Remaining() / 2;
            return error.Fail(path, in.Position() + 2 * whole, LayerEndsEarly(layer, done + whole, total));
        }
        const std::uint64_t position = in.Position();
        std::uint8_t* const block = sink.Block();
        if (!in.Read(block, 2 * count)) {
            return error.Fail(path, position, "cannot read " + LayerWords(layer));
        }
        sink.Filled(count, LargestU16(block, count));
        done += count;
    }
    return true;
}

}  // namespace gridport
