// Version-1 MAP files: a 100-byte header, then two uncompressed layers of 16-bit tile indices. In the second layer 0
// means an empty cell, which the conversion turns into a transparent tile appended to the tileset.

#include <algorithm>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "mapfile/MapLayout.h"
#include "mapfile/MapReader.h"

namespace gridport {

using namespace mapfile;

namespace {

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

Expected<std::size_t> ReadVersion1Header(BufferedReader& in, MapDescription& description) {
    std::uint8_t header[kV1HeaderSize];
    if (Expected<void> read = in.Read(header, sizeof header, Sized(sizeof header, "version-1 header")); !read) {
        return read.error();
    }
    const std::uint16_t width = LoadU16(header + kV1WidthOffset);
    const std::uint16_t height = LoadU16(header + kV1HeightOffset);
    const std::uint64_t layerBytes = 2 * std::uint64_t{width} * height;
    if (Expected<void> need = in.Need(2 * layerBytes, "the pair of " + std::to_string(width) + " x " +
                                                          std::to_string(height) + " layers");
        !need) {
        return need.error();
    }
    description.version = 1;
    description.linkedFileName = HeaderText(header, sizeof header, kV1TextOffset);
    description.headerX = LoadU16(header + kV1XOffset);
    description.headerY = LoadU16(header + kV1YOffset);
    description.headerMode = kV1Mode;
    description.headerLayer = SelectedLayer(header[kV1SelectorOffset]);
    description.fileLayers = {MapFileLayer{"Background", width, height, kV1HeaderSize},
                              MapFileLayer{"Foreground", width, height, kV1HeaderSize + layerBytes}};
    description.outputLayers = {0, 1};
    return std::size_t{2};
}

Expected<void> LayerDecoder::NextVersion1(CellSink& sink) {
    const std::uint64_t total = layer_.CellCount();
    const std::uint64_t done = total - left_;
    // The file stores cells as the sink takes them; a block is at least a reader buffer, so it is read straight in.
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockCells, left_));
    if (in_.Remaining() < 2 * count) {
        const std::uint64_t whole = in_.Remaining() / 2;
        return in_.Fail(in_.Position() + 2 * whole, LayerEndsEarly(layer_, done + whole, total));
    }
    const std::uint64_t position = in_.Position();
    std::uint8_t* const block = sink.Block();
    const bool unknown = in_.Remaining() == BufferedReader::kUnknown;
    if (!in_.Read(block, 2 * count, "the cells")) {
        // A stream of unknown size has ended: it held what it gave.
        const std::uint64_t whole = (in_.Delivered() - position) / 2;
        return unknown ? in_.Fail(position + 2 * whole, LayerEndsEarly(layer_, done + whole, total))
                       : in_.Fail(position, "cannot read " + LayerWords(layer_));
    }
    sink.Filled(count, LargestU16(block, count));
    left_ -= count;
    return Success();
}

}  // namespace gridport
