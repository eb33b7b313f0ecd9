// Version-2 MAP files: a 206-byte header, up to seven 12-byte layer records, then each layer's run-length compressed
// cells. The layer-order text decides which layers reach the map, in which order, and which is the header layer.

#include <algorithm>
#include <array>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "mapfile/MapLayout.h"
#include "mapfile/MapReader.h"

namespace gridport {

using namespace mapfile;

namespace {

// The fewest bytes that can encode a layer of this many cells: runs of 255 cost four bytes, a single cell two.
std::uint64_t FewestCellBytes(std::uint64_t cells) {
    const std::uint64_t rest = cells % kV2LongestRun;
    return cells / kV2LongestRun * 4 + (rest == 0 ? 0 : rest == 1 ? 2 : 4);
}

bool IsRunMarker(std::uint16_t word) {
    return (word & kV2RunMarker) == kV2RunMarker;
}

// Walks the layer-order text: a digit d (1 to 6) makes file layer d - 1 current; "E" makes the current layer the header
// layer. Digits for missing layers, and "E" before any current layer, do nothing.
void ApplyLayerOrder(MapDescription& description) {
    std::optional<std::int32_t> current;
    for (const char c : description.layerOrder) {
        if (c >= kV2FirstDigit && c <= kV2LastDigit &&
            static_cast<std::size_t>(c - kV2FirstDigit) < description.fileLayers.size()) {
            description.outputLayers.push_back(static_cast<std::size_t>(c - kV2FirstDigit));
            current = c - kV2FirstDigit;
        } else if (c == kV2HeaderLayerMark && current) {
            description.headerLayer = current;
        }
    }
}
// Copies the words before the first run marker, among the first count at bytes, to out unchanged and returns how many;
// largest grows to the largest of them. Steps of words go through a vectorising loop while none is a marker (a marker
// is larger than any other word, so a step's largest word tells), then words one by one.
std::size_t CopySingles(const std::uint8_t* bytes, std::size_t count, std::uint8_t* out, std::uint16_t& largest) {
    constexpr std::size_t kStep = 32;
    std::size_t n = 0;
    for (; n + kStep <= count; n += kStep) {
        std::uint16_t top = 0;
        for (std::size_t k = 0; k < kStep; ++k) {
            const std::uint16_t word = LoadU16(bytes + 2 * (n + k));
            top = top < word ? word : top;
        }
        if (IsRunMarker(top)) {
            break;
        }
        std::memcpy(out + 2 * n, bytes + 2 * n, 2 * kStep);
        largest = largest < top ? top : largest;
    }
    for (; n < count; ++n) {
        const std::uint16_t word = LoadU16(bytes + 2 * n);
        if (IsRunMarker(word)) {
            break;
        }
        StoreU16(out + 2 * n, word);
        largest = largest < word ? word : largest;
    }
    return n;
}

// One layer's decoded cells on their way to the sink, a block at a time, as the file's 16-bit little-endian words. A
// block is handed on once a whole run no longer fits, so no run is split; runs are cut at the layer's last cell.
class CellBlock {
public:
    CellBlock(CellSink& sink, std::uint64_t total) : sink_(sink), out_(sink.Block()), left_(total) {}

    bool Done() const { return left_ == 0; }
    bool Room() const { return filled_ < kLimit; }
    std::uint64_t Left() const { return left_; }

    void Single(std::uint16_t value) {
        StoreU16(out_ + 2 * filled_, value);
        largest_ = std::max(largest_, value);
        ++filled_;
        --left_;
    }
    // Takes single cells at bytes (at most words) up to a marker, the block's room or the layer's end; returns how
    // many.
    std::size_t Singles(const std::uint8_t* bytes, std::size_t words) {
        const auto most = static_cast<std::size_t>(std::min<std::uint64_t>({words, kBlockCells - filled_, left_}));
        const std::size_t count = CopySingles(bytes, most, out_ + 2 * filled_, largest_);
        filled_ += count;
        left_ -= count;
        return count;
    }
    // Written in whole pieces of kPieceCells, which may run past its end into the block's unused room.
    void Run(std::uint16_t marker, std::uint16_t value) {
        const auto run = static_cast<std::size_t>(std::min<std::uint64_t>(std::max(marker & 0xFF, 1), left_));
        std::uint8_t piece[2 * kPieceCells];
        for (std::size_t k = 0; k < kPieceCells; ++k) {
            StoreU16(piece + 2 * k, value);
        }
        std::uint8_t* const out = out_ + 2 * filled_;
        for (std::size_t k = 0; k < run; k += kPieceCells) {
            std::memcpy(out + 2 * k, piece, sizeof piece);
        }
        largest_ = std::max(largest_, value);
        filled_ += run;
        left_ -= run;
    }
    void Flush() {
        if (filled_ > 0) {
            sink_.Filled(filled_, largest_);
            filled_ = 0;
            largest_ = 0;
        }
    }

private:
    static constexpr std::size_t kPieceCells = 8;
    // Full when a whole run may not fit: below the limit, kLongestRun + 1 cells fit the longest run written in pieces.
    static constexpr std::size_t kLimit = kBlockCells - kV2LongestRun;
    static_assert((kV2LongestRun + kPieceCells - 1) / kPieceCells * kPieceCells <= kV2LongestRun + 1);

    CellSink& sink_;
    std::uint8_t* out_;
    std::size_t filled_ = 0;
    std::uint16_t largest_ = 0;  // The largest of the block's cells so far.
    std::uint64_t left_;
};

}  // namespace

Expected<std::size_t> ReadVersion2Header(BufferedReader& in, MapDescription& description) {
    std::uint8_t header[kV2HeaderSize];
    if (Expected<void> read = in.Read(header, sizeof header, Sized(sizeof header, "version-2 header")); !read) {
        return read.error();
    }
    const std::size_t layerCount = header[kV2CountOffset];
    if (layerCount > kV2MaxLayers) {
        return in.Fail(kV2CountOffset, "the header counts " + std::to_string(layerCount) +
                                           " layers; a version-2 map holds at most " + std::to_string(kV2MaxLayers));
    }
    description.version = 2;
    description.linkedFileName = HeaderText(header, sizeof header, kV2TextOffset);
    description.layerOrder = HeaderText(header, sizeof header, kV2OrderOffset);
    description.headerX = LoadU16(header + kV2XOffset);
    description.headerY = LoadU16(header + kV2YOffset);
    std::uint64_t fewestBytes = 0;
    for (std::size_t i = 0; i < layerCount; ++i) {
        MapFileLayer layer{std::string("Layer ") + static_cast<char>('A' + i), 0, 0, 0};
        std::uint8_t record[kV2RecordSize];
        if (Expected<void> read = in.Read(record, sizeof record, "the record of " + LayerWords(layer)); !read) {
            return read.error();
        }
        layer.width = LoadU16(record + kV2RecordWidthOffset);
        layer.height = LoadU16(record + kV2RecordHeightOffset);
        fewestBytes += kV2LayerPrefixSize + FewestCellBytes(layer.CellCount());
        description.fileLayers.push_back(std::move(layer));
    }
    if (Expected<void> need = in.Need(fewestBytes, "the shortest encoding of " + Counted(layerCount, "layer"));
        !need) {
        return need.error();
    }
    if (layerCount > 0) {
        description.fileLayers[0].cellsOffset = in.Position() + kV2LayerPrefixSize;
    }
    ApplyLayerOrder(description);
    return std::size_t{layerCount > 0 ? 1U : 0U};
}

// Items decode straight from the reader's buffer while a whole one (up to four bytes) is there, else via ReadU16.
Expected<void> LayerDecoder::NextVersion2(CellSink& sink) {
    CellBlock cells(sink, left_);
    while (!cells.Done() && cells.Room()) {
        const std::uint8_t* const start = in_.BufferedData();
        const std::uint8_t* const end = start + in_.BufferedSize();
        const std::uint8_t* p = start;
        while (end - p >= 4 && cells.Room() && !cells.Done()) {
            const std::uint16_t word = LoadU16(p);
            if (IsRunMarker(word)) {
                cells.Run(word, LoadU16(p + 2));
                p += 4;
            } else {
                // The single cells up to the next run marker pass in one piece.
                p += 2 * cells.Singles(p, static_cast<std::size_t>(end - p) / 2);
            }
        }
        in_.Take(static_cast<std::size_t>(p - start));
        if (p != start || !cells.Room() || cells.Done()) {
            continue;
        }
        const std::uint64_t position = in_.Position();
        std::uint16_t word = 0;
        std::uint16_t value = 0;
        if (!in_.ReadU16(word, "a cell") || (IsRunMarker(word) && !in_.ReadU16(value, "a run"))) {
            return in_.Fail(position, LayerEndsEarly(layer_, layer_.CellCount() - cells.Left(), layer_.CellCount()));
        }
        if (IsRunMarker(word)) {
            cells.Run(word, value);
        } else {
            cells.Single(word);
        }
    }
    cells.Flush();
    left_ = cells.Left();
    return Success();
}

}  // namespace gridport
