// Version-2 MAP files: a 206-byte header, up to seven 12-byte layer records,
// then each layer's run-length compressed cells. The layer-order text decides
// which layers reach the map, in which order, and which is the header layer.

#include <algorithm>
#include <array>
#include <cstring>

#include "filesystem/ByteOrder.h"
#include "filesystem/Counted.h"
#include "import/ImportSteps.h"
#include "import/MapReader.h"

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

// The fewest bytes that can encode a layer of this many cells: runs of 255
// cost four bytes, a single cell two.
std::uint64_t FewestCellBytes(std::uint64_t cells) {
    const std::uint64_t rest = cells % kLongestRun;
    return cells / kLongestRun * 4 + (rest == 0 ? 0 : rest == 1 ? 2 : 4);
}

bool IsRunMarker(std::uint16_t word) {
    return (word & kRunMarker) == kRunMarker;
}

// Walks the layer-order text: a digit d from 1 to 6 names file layer d - 1
// and makes it current; "E" makes the current layer the header layer.
// Digits naming a layer the file doesn't have, and "E" before any layer is
// current, do nothing.
void ApplyLayerOrder(MapDescription& description) {
    std::optional<std::int32_t> current;
    for (const char c : description.layerOrder) {
        if (c >= '1' && c <= '6' && static_cast<std::size_t>(c - '1') < description.fileLayers.size()) {
            description.outputLayers.push_back(static_cast<std::size_t>(c - '1'));
            current = c - '1';
        } else if (c == 'E' && current) {
            description.headerLayer = current;
        }
    }
}

// Copies the words at bytes that come before the first run marker, of the
// first count, to out, and returns how many there were; largest becomes the
// largest of them if it is smaller. Words are taken a step at a time while
// none is a marker, in a loop that vectorises, and then one by one. They
// keep their byte order on the way. A marker is larger than any other word,
// so the largest word of a step tells whether the step holds one.
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

// The decoded cells of one layer on their way to the sink, a block at a
// time, as the file's 16-bit little-endian words. A block is handed on once
// it has no room left for a whole run, so no run is ever split; runs are cut
// at the layer's last cell.
class CellBlock {
public:
    CellBlock(CellSink& sink, std::uint64_t total) : sink_(sink), out_(sink.Block()), left_(total) {}

    bool Full() const { return left_ == 0; }
    bool Room() const { return filled_ < kLimit; }
    std::uint64_t Left() const { return left_; }

    void Single(std::uint16_t value) {
        StoreU16(out_ + 2 * filled_, value);
        largest_ = std::max(largest_, value);
        ++filled_;
        --left_;
    }
    // The single cells among the words at bytes (at most words of them),
    // up to the first run marker, the block's room or the layer's end.
    // Returns how many were taken.
    std::size_t Singles(const std::uint8_t* bytes, std::size_t words) {
        const auto most = static_cast<std::size_t>(std::min<std::uint64_t>({words, kBlockCells - filled_, left_}));
        const std::size_t count = CopySingles(bytes, most, out_ + 2 * filled_, largest_);
        filled_ += count;
        left_ -= count;
        return count;
    }
    // The run is written in whole pieces of kPieceCells cells, which may run
    // on past its end into the block's unused room.
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
    // Hands the block on and starts the next.
    void Next() {
        Flush();
        out_ = sink_.Block();
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
    // A block is full when a whole run may no longer fit. Written in
    // pieces, the longest run takes at most one cell more, and that cell is
    // still there: below the limit, at least kLongestRun + 1 are left.
    static constexpr std::size_t kLimit = kBlockCells - kLongestRun;
    static_assert((kLongestRun + kPieceCells - 1) / kPieceCells * kPieceCells <= kLongestRun + 1);

    CellSink& sink_;
    std::uint8_t* out_;
    std::size_t filled_ = 0;
    // The largest of the block's cells so far.
    std::uint16_t largest_ = 0;
    std::uint64_t left_;
};

}  // namespace

bool ReadVersion2Header(BufferedReader& in, const std::string& path, MapDescription& description,
                        std::size_t& located, Error& error) {
    std::uint8_t header[kHeaderSize];
    if (!in.Read(header, sizeof header, path, "the 206-byte version-2 header", error)) {
        return false;
    }
    const std::size_t layerCount = header[kCountOffset];
    if (layerCount > kMaxLayers) {
        return error.Fail(path, kCountOffset,
                          "the header counts " + std::to_string(layerCount) +
                              " layers; a version-2 map holds at most 7");
    }
    description.version = 2;
    description.linkedFileName = HeaderText(header, sizeof header, kTextOffset);
    description.layerOrder = HeaderText(header, sizeof header, kOrderOffset);
    description.headerX = LoadU16(header + kXOffset);
    description.headerY = LoadU16(header + kYOffset);
    std::uint64_t fewestBytes = 0;
    for (std::size_t i = 0; i < layerCount; ++i) {
        MapFileLayer layer{std::string("Layer ") + static_cast<char>('A' + i), 0, 0, 0};
        std::uint8_t record[kRecordSize];
        if (!in.Read(record, sizeof record, path, "the record of " + LayerWords(layer), error)) {
            return false;
        }
        layer.width = LoadU16(record + 4);
        layer.height = LoadU16(record + 6);
        fewestBytes += kLayerPrefixSize + FewestCellBytes(layer.CellCount());
        description.fileLayers.push_back(std::move(layer));
    }
    if (!in.Need(fewestBytes, path, "the shortest encoding of " + Counted(layerCount, "layer"),
                 error)) {
        return false;
    }
    if (layerCount > 0) {
        description.fileLayers[0].cellsOffset = in.Position() + kLayerPrefixSize;
    }
    located = layerCount > 0 ? 1 : 0;
    ApplyLayerOrder(description);
    return true;
}

// Items are decoded straight from the reader's buffer while a whole one (at
// most four bytes) is there; the rest go through ReadU16, which refills.
bool DecodeVersion2Cells(BufferedReader& in, const std::string& path, const MapFileLayer& layer,
                         CellSink& sink, Error& error) {
    CellBlock cells(sink, layer.CellCount());
    while (!cells.Full()) {
        if (!cells.Room()) {
            cells.Next();
        }
        const std::uint8_t* const start = in.BufferedData();
        const std::uint8_t* const end = start + in.BufferedSize();
        const std::uint8_t* p = start;
        while (end - p >= 4 && cells.Room() && !cells.Full()) {
            const std::uint16_t word = LoadU16(p);
            if (IsRunMarker(word)) {
                cells.Run(word, LoadU16(p + 2));
                p += 4;
            } else {
                // The single cells up to the next run marker pass in one
                // piece.
                p += 2 * cells.Singles(p, static_cast<std::size_t>(end - p) / 2);
            }
        }
        in.Take(static_cast<std::size_t>(p - start));
        if (p != start || !cells.Room() || cells.Full()) {
            continue;
        }
        const std::uint64_t position = in.Position();
        std::uint16_t word = 0;
        std::uint16_t value = 0;
        if (!in.ReadU16(word) || (IsRunMarker(word) && !in.ReadU16(value))) {
            return error.Fail(path, position,
                              LayerEndsEarly(layer, layer.CellCount() - cells.Left(), layer.CellCount()));
        }
        if (IsRunMarker(word)) {
            cells.Run(word, value);
        } else {
            cells.Single(word);
        }
    }
    cells.Flush();
    return true;
}

}  // namespace gridport
