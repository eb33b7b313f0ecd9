#include "mapfile/MapReader.h"

#include <algorithm>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "mapfile/MapLayout.h"

namespace gridport {

using namespace mapfile;

namespace {

// Takes a layer's cells and drops them: the walk to a later layer's start.
class DroppedCells final : public CellSink {
public:
    std::uint8_t* Block() override { return block_.data(); }
    void Filled(std::size_t, std::uint16_t) override {}

private:
    std::vector<std::uint8_t> block_ = std::vector<std::uint8_t>(2 * kBlockCells);
};

}  // namespace

std::string LayerWords(const MapFileLayer& layer) {
    return "layer \"" + layer.name + "\"";
}

std::string LayerEndsEarly(const MapFileLayer& layer, std::uint64_t decoded, std::uint64_t total) {
    return LayerWords(layer) + " ends after " + std::to_string(decoded) + " of its " + std::to_string(total) +
           (total == 1 ? " cell" : " cells");
}

std::string HeaderText(const std::uint8_t* header, std::size_t headerSize, std::size_t offset) {
    const std::uint8_t* begin = header + offset;
    const std::uint8_t* end = std::find(begin, header + headerSize, std::uint8_t{0});
    return std::string(begin, end);
}

Expected<void> LayerDecoder::Next(CellSink& sink) {
    return version_ == 1 ? NextVersion1(sink) : NextVersion2(sink);
}

Expected<void> MapReader::ReadHeader() {
    if (!header_) {
        header_ = ReadHeaderOnce();
    }
    return *header_;
}

Expected<void> MapReader::ReadHeaderOnce() {
    description_ = MapDescription();
    located_ = 0;
    // A file shorter than six bytes is judged by the bytes it has. A stream that gives nothing at all is empty too.
    const bool empty = in_.Remaining() == 0 || in_.Remaining() == BufferedReader::kUnknown;
    if (in_.Remaining() == 0 || !in_.Fill("the file")) {
        return Error(in_.Path(), empty ? "the file is empty" : "cannot read the file");
    }
    const std::uint8_t* start = in_.BufferedData();
    const std::size_t have = in_.BufferedSize();
    std::string signature;
    for (const std::uint8_t byte : kVersion2Signature) {
        const char digits[] = "0123456789ABCDEF";
        signature += std::string(signature.empty() ? "" : " ") + digits[byte >> 4] + digits[byte & 15];
    }
    Expected<std::size_t> located =
        Error(in_.Path(), 0,
              "not a MAP file: the first byte is not " + std::to_string(kVersion1Byte) +
                  " (version 1) and the first six bytes are not the version-2 signature " + signature);
    if (start[0] == kVersion1Byte) {
        located = ReadVersion1Header(in_, description_);
    } else if (have >= sizeof kVersion2Signature && std::equal(start, start + sizeof kVersion2Signature,
                                                               kVersion2Signature)) {
        located = ReadVersion2Header(in_, description_);
    }
    if (!located) {
        return located.error();
    }
    located_ = *located;
    return Success();
}

Expected<void> MapReader::Locate(std::size_t fileLayer) {
    const std::size_t count = description_.fileLayers.size();
    if (fileLayer >= count) {
        return Error(in_.Path(), "there is no file layer " + std::to_string(fileLayer) + "; the map has " +
                                     Counted(count, "file layer"));
    }
    DroppedCells dropped;
    while (located_ <= fileLayer) {
        if (Expected<void> walked = Decode(located_ - 1, dropped); !walked) {
            return walked;
        }
    }
    return Success();
}

Expected<void> MapReader::MoveTo(BufferedReader& in, std::size_t fileLayer) {
    if (Expected<void> located = Locate(fileLayer); !located) {
        return located;
    }
    const MapFileLayer& layer = description_.fileLayers[fileLayer];
    const bool compressed = description_.version == 2;
    const std::uint64_t start = compressed ? layer.cellsOffset - kV2LayerPrefixSize : layer.cellsOffset;
    if (Expected<void> moved = in.MoveTo(start, [&layer] { return LayerWords(layer); }); !moved) {
        return in.Remaining() == BufferedReader::kUnknown || in.Position() > start
                   ? in.Fail(start, "cannot go back to " + LayerWords(layer) + " in a stream that can't seek")
                   : moved;
    }
    return compressed ? in.Skip(kV2LayerPrefixSize, "the start of " + LayerWords(layer)) : Success();
}

Expected<void> MapReader::Decode(std::size_t fileLayer, CellSink& sink) {
    if (Expected<void> moved = MoveTo(in_, fileLayer); !moved) {
        return moved;
    }
    LayerDecoder decoder(in_, description_.fileLayers[fileLayer], description_.version);
    while (!decoder.Done()) {
        if (Expected<void> next = decoder.Next(sink); !next) {
            return next;
        }
    }
    // Now the next layer's start is known too.
    if (fileLayer + 1 == located_ && located_ < description_.fileLayers.size()) {
        description_.fileLayers[located_++].cellsOffset = in_.Position() + kV2LayerPrefixSize;
    }
    return Success();
}

Expected<std::unique_ptr<BufferedReader>> MapReader::OpenLayer(std::size_t fileLayer) {
    if (Expected<void> located = Locate(fileLayer); !located) {
        return located.error();
    }
    in_.ShareFile();
    auto in = std::make_unique<BufferedReader>(file_, in_.Path());
    in->ShareFile();
    if (Expected<void> moved = MoveTo(*in, fileLayer); !moved) {
        return moved.error();
    }
    return in;
}

}  // namespace gridport
