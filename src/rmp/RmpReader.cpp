// Reads an RMP map file back: the 256-byte header, nine strings, the layers
// with their grids and segments, the entities, the zones and the embedded
// RTS tileset, which must end exactly where the file ends. Nothing is
// allocated for a count or a length before the bytes it needs are known to
// be there.

#include "rmp/RmpReader.h"

#include <bit>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "rmp/RmpLayout.h"
#include "tileset/TilesetReader.h"

namespace gridport {

namespace {

using namespace rmp;

std::string Numbered(const char* what, std::size_t index) {
    return what + std::to_string(index);
}

// The reads of the parts of the file, each a step that can fail.
class Parser {
public:
    explicit Parser(BufferedReader& in, RmpOutline* outline = nullptr) : in_(in), outline_(outline) {}

    Expected<void> U16(std::uint16_t& value, const std::string& what) {
        std::uint8_t bytes[2];
        Expected<void> read = in_.Read(bytes, sizeof bytes, what);
        value = LoadU16(bytes);
        return read;
    }

    Expected<void> String(std::string& text, const std::string& what) {
        std::uint16_t length = 0;
        if (Expected<void> read = U16(length, what); !read) {
            return read;
        }
        if (Expected<void> need = in_.Need(length, what); !need) {
            return need;
        }
        text.assign(length, '\0');
        return in_.Read(text.data(), length, what);
    }

    Expected<void> Header(TileMap& map, std::uint8_t& layers, std::uint16_t& entities, std::uint16_t& zones);
    Expected<void> Layer(std::size_t index, MapLayer& layer);
    Expected<void> Entity(std::size_t index, MapEntity& entity);
    Expected<void> Zone(std::size_t index, MapZone& zone);

    BufferedReader& in_;
    // Set when only the outline is read: grids and segments are skipped.
    RmpOutline* outline_;
};

Expected<void> Parser::Header(TileMap& map, std::uint8_t& layers, std::uint16_t& entities, std::uint16_t& zones) {
    std::uint8_t header[kHeaderSize];
    if (Expected<void> read = in_.Read(header, sizeof header, Sized(sizeof header, "header")); !read) {
        return read;
    }
    if (std::memcmp(header, kSignature, sizeof kSignature) != 0) {
        return in_.Fail(0, "not an RMP map file: it does not start with \".rmp\"");
    }
    const std::uint16_t version = LoadU16(header + kVersionOffset);
    if (version != kVersion) {
        return in_.Fail(kVersionOffset, "unknown RMP version " + std::to_string(version) + " (only version " +
                                            std::to_string(kVersion) + " is known)");
    }
    const std::uint16_t strings = LoadU16(header + kStringCountOffset);
    if (strings != kStringCount) {
        return in_.Fail(kStringCountOffset, "the header announces " + std::to_string(strings) +
                                                " strings; an RMP file has " + std::to_string(kStringCount));
    }
    layers = header[kLayerCountOffset];
    entities = LoadU16(header + kEntityCountOffset);
    zones = LoadU16(header + kZoneCountOffset);
    map.headerX = LoadU16(header + kHeaderXOffset);
    map.headerY = LoadU16(header + kHeaderYOffset);
    map.headerLayer = header[kHeaderLayerOffset];
    map.headerMode = header[kHeaderModeOffset];
    return Success();
}

Expected<void> Parser::Layer(std::size_t index, MapLayer& layer) {
    const std::string what = Numbered("layer ", index);
    std::uint8_t header[kLayerHeaderSize];
    if (Expected<void> read = in_.Read(header, sizeof header, "the header of " + what); !read) {
        return read;
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
    if (Expected<void> name = String(layer.name, "the name of " + what); !name) {
        return name;
    }
    const std::string grid = "the " + std::to_string(width) + " x " + std::to_string(height) + " grid of " + what;
    const std::uint64_t cells = std::uint64_t{width} * height;
    if (Expected<void> need = in_.Need(kCellSize * cells, grid); !need) {
        return need;
    }
    const std::uint64_t start = in_.Position();
    layer.width = width;
    layer.height = height;
    const std::string segments = "the segment list of " + what + " (" + Counted(segmentCount, "segment") + ")";
    if (outline_ != nullptr) {
        outline_->places.push_back(RmpLayerPlace{start, segmentCount});
        Expected<void> skipped = in_.Skip(kCellSize * cells, grid);
        if (skipped) {
            skipped = in_.Need(std::uint64_t{kSegmentSize} * segmentCount, segments);
        }
        return skipped ? in_.Skip(std::uint64_t{kSegmentSize} * segmentCount, segments) : skipped;
    }
    layer.tiles.resize(static_cast<std::size_t>(cells));
    for (std::uint32_t& cell : layer.tiles) {
        std::uint16_t value = 0;
        if (!in_.ReadU16(value)) {
            return in_.Fail(start, "cannot read " + grid);
        }
        cell = value;
    }
    if (Expected<void> need = in_.Need(std::uint64_t{kSegmentSize} * segmentCount, segments); !need) {
        return need;
    }
    for (std::uint32_t k = 0; k < segmentCount; ++k) {
        std::uint8_t record[kSegmentSize];
        if (Expected<void> read = in_.Read(record, sizeof record, segments); !read) {
            return read;
        }
        const auto value = [&record](std::size_t at) { return static_cast<std::int32_t>(LoadU32(record + at)); };
        layer.segments.push_back(Segment{value(0), value(4), value(8), value(12)});
    }
    return Success();
}

Expected<void> Parser::Entity(std::size_t index, MapEntity& entity) {
    const std::string what = Numbered("entity ", index);
    const std::uint64_t start = in_.Position();
    std::uint8_t header[kRecordHeaderSize];
    if (Expected<void> read = in_.Read(header, sizeof header, "the header of " + what); !read) {
        return read;
    }
    entity.x = LoadU16(header + kEntityXOffset);
    entity.y = LoadU16(header + kEntityYOffset);
    entity.layer = LoadU16(header + kEntityLayerOffset);
    const std::uint16_t type = LoadU16(header + kEntityTypeOffset);
    entity.kind = EntityKind(type);
    if (type > EntityRecordType(3)) {
        return in_.Fail(start + kEntityTypeOffset, what + " has the unknown record type " + std::to_string(type));
    }
    if (type == EntityRecordType(3)) {
        return String(entity.textA, "the text of " + what);
    }
    if (type != EntityRecordType(2)) {
        return Success();
    }
    std::uint16_t count = 0;
    Expected<void> read = String(entity.textA, "the first text of " + what);
    if (read) {
        read = String(entity.textB, "the second text of " + what);
    }
    if (read) {
        read = U16(count, "the string count of " + what);
    }
    if (!read) {
        return read;
    }
    if (count != kEntityStringCount) {
        return in_.Fail(in_.Position() - 2, what + " announces " + std::to_string(count) + " strings, not " +
                                                std::to_string(kEntityStringCount));
    }
    for (std::size_t k = 0; k < kEntityStringCount; ++k) {
        if (Expected<void> text = String(entity.textList[k], Numbered("list string ", k + 1) + " of " + what);
            !text) {
            return text;
        }
    }
    return in_.Skip(kEntityTrailerSize, "the " + std::to_string(kEntityTrailerSize) + " closing bytes of " + what);
}

Expected<void> Parser::Zone(std::size_t index, MapZone& zone) {
    const std::string what = Numbered("zone ", index);
    std::uint8_t header[kRecordHeaderSize];
    if (Expected<void> read = in_.Read(header, sizeof header, "the header of " + what); !read) {
        return read;
    }
    std::int32_t* const values[kZoneValueCount] = {&zone.x1, &zone.y1, &zone.x2, &zone.y2, &zone.layer,
                                                    &zone.auxValue};
    for (std::size_t i = 0; i < kZoneValueCount; ++i) {
        *values[i] = LoadU16(header + 2 * i);
    }
    return String(zone.text, "the text of " + what);
}

// Reads count records of at least least bytes each into records, or, when
// they aren't kept, each over the one before.
template <typename Record, typename ReadOne>
Expected<void> Records(BufferedReader& in, std::size_t count, std::uint64_t least, const std::string& what,
                       std::vector<Record>& records, ReadOne readOne, bool keep = true) {
    if (Expected<void> need = in.Need(least * count, "the list of " + what); !need) {
        return need;
    }
    records.resize(keep ? count : std::min<std::size_t>(count, 1));
    for (std::size_t i = 0; i < count; ++i) {
        if (Expected<void> read = readOne(i, records[keep ? i : 0]); !read) {
            return read;
        }
    }
    return Success();
}

// The header, the strings and the records before the tileset.
Expected<void> ReadBody(BufferedReader& in, RmpDocument& document, RmpOutline* outline) {
    Parser parser(in, outline);
    TileMap& map = document.map;
    std::uint8_t layers = 0;
    std::uint16_t entities = 0;
    std::uint16_t zones = 0;
    Expected<void> read = parser.Header(map, layers, entities, zones);
    std::string* const strings[kStringCount] = {
        &document.unnamedStrings[0], &map.linkedFileName, &document.unnamedStrings[1], &map.textA, &map.textB,
        &map.textList[0], &map.textList[1], &map.textList[2], &map.textList[3]};
    for (std::size_t i = 0; read && i < kStringCount; ++i) {
        read = parser.String(*strings[i], Numbered("string ", i + 1) + " of " + std::to_string(kStringCount));
    }
    // Each layer takes at least its header and its name's length, each
    // entity its header, each zone its header and its text's length.
    const bool keep = outline == nullptr;
    if (read) {
        read = Records(in, layers, kLayerHeaderSize + kStringLengthSize, Counted(layers, "layer"), map.layers,
                       [&parser](std::size_t i, MapLayer& layer) { return parser.Layer(i, layer); });
    }
    if (read) {
        read = Records(
            in, entities, kRecordHeaderSize, Counted(entities, "entity", "entities"), map.entities,
            [&parser](std::size_t i, MapEntity& entity) { return parser.Entity(i, entity); }, keep);
    }
    if (read) {
        read = Records(
            in, zones, kRecordHeaderSize + kStringLengthSize, Counted(zones, "zone"), map.zones,
            [&parser](std::size_t i, MapZone& zone) { return parser.Zone(i, zone); }, keep);
    }
    if (read && outline != nullptr) {
        outline->entities = entities;
        outline->zones = zones;
        map.entities.clear();
        map.zones.clear();
    }
    return read;
}

}  // namespace

Expected<RmpDocument> ReadRmp(BufferedReader& in) {
    if (in.Remaining() == BufferedReader::kUnknown) {
        return Error(in.Path(), "cannot tell the size of the file");
    }
    RmpDocument document;
    if (Expected<void> read = ReadBody(in, document, nullptr); !read) {
        return read.error();
    }
    TileMap& map = document.map;
    Expected<Tileset> tileset = LoadTileset(in, TilesetKind::Rts);
    if (!tileset) {
        return tileset.error();
    }
    map.tileset = std::move(*tileset);
    if (in.Remaining() != 0) {
        return in.Fail(in.Position(), Counted(in.Remaining(), "byte follows", "bytes follow") +
                                          " the end of the tileset");
    }
    return document;
}

Expected<RmpOutline> ReadRmpOutline(BufferedReader& in) {
    if (in.Remaining() == BufferedReader::kUnknown) {
        return Error(in.Path(), "cannot tell the size of the file");
    }
    RmpOutline outline;
    if (Expected<void> read = ReadBody(in, outline.document, &outline); !read) {
        return read.error();
    }
    return outline;
}

}  // namespace gridport
