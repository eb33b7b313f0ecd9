#include "import/MapReader.h"

#include <algorithm>

#include "filesystem/ByteOrder.h"

namespace gridport {

namespace {

constexpr std::uint8_t kVersion1Byte = 4;
constexpr std::uint8_t kVersion2Signature[6] = {0x4D, 0x41, 0x50, 0xF9, 0x35, 0x00};
// The four bytes before a version-2 layer's cells.
constexpr std::uint64_t kLayerPrefixSize = 4;

// A sink whose block is the reader's own; each block filled goes to a visitor.
class VisitedBlock final : public CellSink {
public:
    VisitedBlock(std::vector<std::uint8_t>& block, const CellVisitor& visit) : block_(block), visit_(visit) {
        block_.resize(2 * kBlockCells);
    }
    std::uint8_t* Block() override { return block_.data(); }
    void Filled(std::size_t count, std::uint16_t largest) override { visit_(block_.data(), count, largest); }

private:
    std::vector<std::uint8_t>& block_;
    const CellVisitor& visit_;
};

}  // namespace

std::string LayerWords(const MapFileLayer& layer) {
    return "layer \"" + layer.name + "\"";
}

std::string LayerEndsEarly(const MapFileLayer& layer, std::uint64_t decoded, std::uint64_t total) {
    return LayerWords(layer) + " ends after " + std::to_string(decoded) + " of its " +
           std::to_string(total) + (total == 1 ? " cell" : " cells");
}

bool MapReader::ReadHeader(Error& error) {
    description_ = MapDescription();
    located_ = 0;
    // A file shorter than six bytes is judged by the bytes it has.
    std::uint8_t start[6] = {};
    const std::uint32_t got = file_.Read(start, sizeof start);
    if (file_.Seek(0) != 0) {
        return error.Fail(path_, "cannot read the file");
    }
    BufferedReader in(file_);
    if (got >= 1 && start[0] == kVersion1Byte) {
        return ReadVersion1Header(in, path_, description_, located_, error);
    }
    if (got == sizeof start && std::equal(start, start + got, kVersion2Signature)) {
        return ReadVersion2Header(in, path_, description_, located_, error);
    }
    if (got == 0) {
        return error.Fail(path_, in.Remaining() == 0 ? "the file is empty" : "cannot read the file");
    }
    return error.Fail(path_, 0,
                      "not a MAP file: the first byte is not 4 (version 1) and the first six bytes are "
                      "not the version-2 signature 4D 41 50 F9 35 00");
}

void MapReader::Adopt(const MapDescription& description) {
    description_ = description;
    located_ = description_.fileLayers.size();
}

bool MapReader::LocateAll(Error& error) {
    const CellVisitor ignore = [](const std::uint8_t*, std::size_t, std::uint16_t) {};
    while (located_ < description_.fileLayers.size()) {
        if (!Decode(located_ - 1, ignore, error)) {
            return false;
        }
    }
    return true;
}

bool MapReader::Decode(std::size_t fileLayer, const CellVisitor& visit, Error& error) {
    VisitedBlock sink(block_, visit);
    return Decode(fileLayer, sink, error);
}

bool MapReader::Decode(std::size_t fileLayer, CellSink& sink, Error& error) {
    if (fileLayer >= located_ && !LocateAll(error)) {
        return false;
    }
    const MapFileLayer& layer = description_.fileLayers[fileLayer];
    const bool compressed = description_.version == 2;
    const std::uint64_t start = compressed ? layer.cellsOffset - kLayerPrefixSize : layer.cellsOffset;
    const std::string name = LayerWords(layer);
    if (file_.Seek(static_cast<std::int64_t>(start)) != 0) {
        return error.Fail(path_, start, "cannot read " + name);
    }
    BufferedReader in(file_);
    if (!compressed) {
        return DecodeVersion1Cells(in, path_, layer, sink, error);
    }
    if (!in.Skip(kLayerPrefixSize, path_, "the start of " + name, error) ||
        !DecodeVersion2Cells(in, path_, layer, sink, error)) {
        return false;
    }
    // Now the next layer's start is known too.
    if (fileLayer + 1 == located_ && located_ < description_.fileLayers.size()) {
        description_.fileLayers[located_++].cellsOffset = in.Position() + kLayerPrefixSize;
    }
    return true;
}

bool DescribeMap(File& file, const std::string& path, MapDescription& description, Error& error) {
    MapReader reader(file, path);
    if (!reader.ReadHeader(error) || !reader.LocateAll(error)) {
        return false;
    }
    description = reader.Description();
    return true;
}

bool VisitLayerCells(File& file, const std::string& path, const MapDescription& description, std::size_t fileLayer,
                     const std::function<void(const std::uint16_t* cells, std::size_t count)>& visit,
                     Error& error) {
    if (fileLayer >= description.fileLayers.size()) {
        const std::size_t count = description.fileLayers.size();
        return error.Fail(path, "there is no file layer " + std::to_string(fileLayer) + "; the map has " +
                                    std::to_string(count) + (count == 1 ? " file layer" : " file layers"));
    }
    MapReader reader(file, path);
    reader.Adopt(description);
    std::vector<std::uint16_t> values;
    const CellVisitor load = [&visit, &values](const std::uint8_t* cells, std::size_t count, std::uint16_t) {
        values.resize(count);
        LoadU16s(cells, count, values.data());
        visit(values.data(), count);
    };
    return reader.Decode(fileLayer, load, error);
}

}  // namespace gridport
