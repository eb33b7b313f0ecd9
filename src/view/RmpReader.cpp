// Reads an RMP map file back: the 256-byte header, nine strings, the layers
// with their grids and segments, the entities, the zones and the embedded
// RTS tileset, which must end exactly where the file ends. Nothing is
// allocated for a count or a length before the bytes it needs are known to
// be there.

#include "view/RmpReader.h"

#include <bit>
#include <cstring>
#include <new>

#include "filesystem/BufferedReader.h"
#include "filesystem/ByteOrder.h"
#include "map/RmpLayout.h"
#include "view/StandardStreams.h"
#include "view/Wording.h"

namespace gridport {

namespace {

using namespace rmp;

// Where reading stopped, and why.
struct Stop {
    std::uint64_t offset = 0;
    std::string reason;
};

std::string Numbered(const char* what, std::size_t index) {
    return what + std::to_string(index);
}

// Exact reads that name what they were reading when the file falls short.
// Every read first checks that its bytes remain and records its offset, so
// a failure, an allocation failure included, knows where it happened.
class Parser {
public:
    Parser(File& file, std::uint64_t size, Stop& stop) : in_(file), size_(size), stop_(stop) {}

    bool Ok() const { return in_.Ok(); }
    BufferedReader& Reader() { return in_; }
    std::uint64_t Offset() const { return size_ - in_.Remaining(); }
    std::uint64_t Remaining() const { return in_.Remaining(); }

    bool Fail(std::uint64_t offset, std::string reason) {
        stop_.offset = offset;
        stop_.reason = std::move(reason);
        return false;
    }

    bool Need(std::uint64_t count, const std::string& what) {
        stop_.offset = Offset();
        if (count > in_.Remaining()) {
            return Fail(Offset(), "the file ends inside " + what + ": it needs " + Counted(count, "byte", "bytes") +
                                      ", " + std::to_string(in_.Remaining()) +
                                      (in_.Remaining() == 1 ? " remains" : " remain"));
        }
        return true;
    }

    bool Read(void* destination, std::size_t count, const std::string& what) {
        const std::uint64_t offset = Offset();
        return Need(count, what) && (in_.Read(destination, count) || Fail(offset, "cannot read " + what));
    }

    bool Skip(std::uint64_t count, const std::string& what) {
        const std::uint64_t offset = Offset();
        return Need(count, what) && (in_.Skip(count) || Fail(offset, "cannot read " + what));
    }

    bool U16(std::uint16_t& value, const std::string& what) {
        std::uint8_t bytes[2];
        if (!Read(bytes, sizeof bytes, what)) {
            return false;
        }
        value = LoadU16(bytes);
        return true;
    }

    bool String(std::string& text, const std::string& what) {
        std::uint16_t length = 0;
        if (!U16(length, what) || !Need(length, what)) {
            return false;
        }
        text.assign(length, '\0');
        return Read(text.data(), length, what);
    }

    // width * height cells of 16 bits each, widened into tiles.
    bool Cells(std::vector<std::uint32_t>& tiles, const std::string& what) {
        const std::uint64_t offset = Offset();
        if (!Need(std::uint64_t{kCellSize} * tiles.size(), what)) {
            return false;
        }
        for (std::uint32_t& cell : tiles) {
            std::uint16_t value = 0;
            if (!in_.ReadU16(value)) {
                return Fail(offset, "cannot read " + what);
            }
            cell = value;
        }
        return true;
    }

private:
    BufferedReader in_;
    std::uint64_t size_;
    Stop& stop_;
};

// The header's counts.
struct Counts {
    std::uint8_t layers = 0;
    std::uint16_t entities = 0;
    std::uint16_t zones = 0;
};

bool ReadHeader(Parser& in, TileMap& map, Counts& counts) {
    std::uint8_t header[kHeaderSize];
    if (!in.Read(header, sizeof header, "the 256-byte header")) {
        return false;
    }
    if (std::memcmp(header, kSignature, sizeof kSignature) != 0) {
        return in.Fail(0, "not an RMP map file: it does not start with \".rmp\"");
    }
    const std::uint16_t version = LoadU16(header + kVersionOffset);
    if (version != kVersion) {
        return in.Fail(kVersionOffset, "unknown RMP version " + std::to_string(version) + " (only version 1 is known)");
    }
    const std::uint16_t strings = LoadU16(header + kStringCountOffset);
    if (strings != kStringCount) {
        return in.Fail(kStringCountOffset, "the header announces " + std::to_string(strings) + " strings; an RMP file has 9");
    }
    counts.layers = header[kLayerCountOffset];
    counts.entities = LoadU16(header + kEntityCountOffset);
    counts.zones = LoadU16(header + kZoneCountOffset);
    map.headerX = LoadU16(header + kHeaderXOffset);
    map.headerY = LoadU16(header + kHeaderYOffset);
    map.headerLayer = header[kHeaderLayerOffset];
    map.headerMode = header[kHeaderModeOffset];
    return true;
}

bool ReadStrings(Parser& in, RmpDocument& document) {
    TileMap& map = document.map;
    std::string* const targets[kStringCount] = {
        &document.unnamedStrings[0], &map.linkedFileName, &document.unnamedStrings[1], &map.textA, &map.textB,
        &map.textList[0], &map.textList[1], &map.textList[2], &map.textList[3]};
    for (std::size_t i = 0; i < kStringCount; ++i) {
        if (!in.String(*targets[i], Numbered("string ", i + 1) + " of 9")) {
            return false;
        }
    }
    return true;
}

bool ReadLayer(Parser& in, std::size_t index, MapLayer& layer) {
    const std::string what = Numbered("layer ", index);
    std::uint8_t header[kLayerHeaderSize];
    if (!in.Read(header, sizeof header, "the header of " + what)) {
        return false;
    }
    const std::uint16_t width = LoadU16(header + kLayerWidthOffset);
    const std::uint16_t height = LoadU16(header + kLayerHeightOffset);
    const std::uint16_t flags = LoadU16(header + kLayerFlagsOffset);
    layer.showFlag = (flags & kLayerHidden) == 0;
    layer.factorsEnabled = (flags & kLayerFactorsOn) != 0;
    layer.factorX = std::bit_cast<float>(LoadU32(header + kLayerFactorXOffset));
    layer.factorY = std::bit_cast<float>(LoadU32(header + kLayerFactorYOffset));
    layer.rateX = std::bit_cast<float>(LoadU32(header + kLayerRateXOffset));
    layer.rateY = std::bit_cast<float>(LoadU32(header + kLayerRateYOffset));
    const std::uint32_t segmentCount = LoadU32(header + kLayerSegmentCountOffset);
    layer.auxFlag = header[kLayerAuxFlagOffset] != 0;
    if (!in.String(layer.name, "the name of " + what)) {
        return false;
    }
    const std::string grid = "the " + std::to_string(width) + " x " + std::to_string(height) + " grid of " + what;
    if (!in.Need(std::uint64_t{kCellSize} * width * height, grid)) {
        return false;
    }
    if (!layer.Resize(width, height)) {
        return in.Fail(in.Offset(), "out of memory for " + grid);
    }
    if (!in.Cells(layer.tiles, grid)) {
        return false;
    }
    const std::string segments = "the " + Counted(segmentCount, "segment", "segments") + " of " + what;
    if (!in.Need(std::uint64_t{kSegmentSize} * segmentCount, segments)) {
        return false;
    }
    for (std::uint32_t k = 0; k < segmentCount; ++k) {
        std::uint8_t record[kSegmentSize];
        if (!in.Read(record, sizeof record, segments)) {
            return false;
        }
        const auto value = [&record](std::size_t at) { return static_cast<std::int32_t>(LoadU32(record + at)); };
        layer.segments.Append(value(0), value(4), value(8), value(12));
    }
    return true;
}

// Record type 1 holds kind 2 with all seven strings, type 2 kind 3 with
// textA; type 0 holds no data and reads back as kind 0.
bool ReadEntity(Parser& in, std::size_t index, MapEntity& entity) {
    const std::string what = Numbered("entity ", index);
    const std::uint64_t start = in.Offset();
    std::uint8_t header[kRecordHeaderSize];
    if (!in.Read(header, sizeof header, "the header of " + what)) {
        return false;
    }
    entity.x = LoadU16(header + kEntityXOffset);
    entity.y = LoadU16(header + kEntityYOffset);
    entity.layer = LoadU16(header + kEntityLayerOffset);
    const std::uint16_t type = LoadU16(header + kEntityTypeOffset);
    switch (type) {
        case 0:
            entity.kind = 0;
            return true;
        case 1: {
            entity.kind = 2;
            std::uint16_t count = 0;
            if (!in.String(entity.textA, "the first text of " + what) ||
                !in.String(entity.textB, "the second text of " + what) ||
                !in.U16(count, "the string count of " + what)) {
                return false;
            }
            if (count != kEntityStringCount) {
                return in.Fail(in.Offset() - 2, what + " announces " + std::to_string(count) + " strings, not 5");
            }
            for (std::size_t k = 0; k < kEntityStringCount; ++k) {
                if (!in.String(entity.textList[k], Numbered("list string ", k + 1) + " of " + what)) {
                    return false;
                }
            }
            return in.Skip(kEntityTrailerSize, "the 16 closing bytes of " + what);
        }
        case 2:
            entity.kind = 3;
            return in.String(entity.textA, "the text of " + what);
        default:
            return in.Fail(start + kEntityTypeOffset, what + " has the unknown record type " + std::to_string(type));
    }
}

bool ReadZone(Parser& in, std::size_t index, MapZone& zone) {
    const std::string what = Numbered("zone ", index);
    std::uint8_t header[kRecordHeaderSize];
    if (!in.Read(header, sizeof header, "the header of " + what)) {
        return false;
    }
    std::int32_t* const values[kZoneValueCount] = {&zone.x1, &zone.y1, &zone.x2, &zone.y2, &zone.layer,
                                                    &zone.auxValue};
    for (std::size_t i = 0; i < kZoneValueCount; ++i) {
        *values[i] = LoadU16(header + 2 * i);
    }
    return in.String(zone.text, "the text of " + what);
}

// Reads the embedded RTS tileset with the RTS reader, from where the records
// end; it must end exactly where the file ends.
bool ReadTileset(Parser& in, Tileset& tileset) {
    Error error;
    if (!tileset.Load(in.Reader(), {}, error)) {
        return in.Fail(error.Offset().value_or(in.Offset()), error.Message());
    }
    if (in.Remaining() != 0) {
        return in.Fail(in.Offset(), Counted(in.Remaining(), "byte follows", "bytes follow") + " the end of the tileset");
    }
    return true;
}

bool ReadDocument(Parser& in, RmpDocument& document) {
    TileMap& map = document.map;
    Counts counts;
    if (!in.Ok()) {
        return in.Fail(0, "cannot tell the size of the file");
    }
    if (!ReadHeader(in, map, counts) || !ReadStrings(in, document)) {
        return false;
    }
    // Each layer takes at least its header and its name's length.
    if (!in.Need((kLayerHeaderSize + kStringLengthSize) * counts.layers,
                 "the header's " + Counted(counts.layers, "layer", "layers"))) {
        return false;
    }
    map.layers.resize(counts.layers);
    for (std::size_t i = 0; i < map.layers.size(); ++i) {
        if (!ReadLayer(in, i, map.layers[i])) {
            return false;
        }
    }
    if (!in.Need(std::uint64_t{kRecordHeaderSize} * counts.entities,
                 "the header's " + Counted(counts.entities, "entity", "entities"))) {
        return false;
    }
    document.entityRecords.resize(counts.entities);
    for (std::size_t i = 0; i < document.entityRecords.size(); ++i) {
        if (!ReadEntity(in, i, document.entityRecords[i])) {
            return false;
        }
    }
    if (!in.Need((kRecordHeaderSize + kStringLengthSize) * counts.zones,
                 "the header's " + Counted(counts.zones, "zone", "zones"))) {
        return false;
    }
    map.zones.resize(counts.zones);
    for (std::size_t i = 0; i < map.zones.size(); ++i) {
        if (!ReadZone(in, i, map.zones[i])) {
            return false;
        }
    }
    if (!ReadTileset(in, map.tileset)) {
        return false;
    }
    // The records are all in place: now the map may refer to them.
    map.entities.assign(document.entityRecords.begin(), document.entityRecords.end());
    return true;
}

}  // namespace

std::unique_ptr<RmpDocument> ReadRmp(const std::string& path, FileSystem& fileSystem, std::string& error) {
    error.clear();
    Error openError;
    const std::unique_ptr<File> file = OpenInput(fileSystem, path, openError);
    if (file == nullptr) {
        error = openError.Text();
        return nullptr;
    }
    Stop stop;
    try {
        const std::int64_t size = file->Size();
        Parser in(*file, size > 0 ? static_cast<std::uint64_t>(size) : 0, stop);
        auto document = std::make_unique<RmpDocument>();
        if (ReadDocument(in, *document)) {
            return document;
        }
    } catch (const std::bad_alloc&) {
        stop.reason = "out of memory";
    }
    error = path + ": stopped at byte " + std::to_string(stop.offset) + ": " + stop.reason;
    return nullptr;
}

}  // namespace gridport
