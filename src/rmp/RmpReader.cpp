// Reads an RMP file up to its tileset: the 256-byte header, nine strings and the layer headers; grids, segments,
// entities and zones are checked and skipped. Nothing is allocated for a count before its bytes are known to be there.

#include "rmp/RmpReader.h"

#include <bit>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Counted.h"

namespace gridport {

namespace {

using namespace rmp;

std::string Numbered(const char* what, std::size_t index) {
    return what + std::to_string(index);
}

Expected<void> ReadU16(BufferedReader& in, std::uint16_t& value, const std::string& what) {
    std::uint8_t bytes[2];
    Expected<void> read = in.Read(bytes, sizeof bytes, what);
    value = LoadU16(bytes);
    return read;
}

Expected<void> ReadString(BufferedReader& in, std::string& text, const std::string& what) {
    std::uint16_t length = 0;
    if (Expected<void> read = ReadU16(in, length, what); !read) {
        return read;
    }
    if (Expected<void> need = in.Need(length, what); !need) {
        return need;
    }
    text.assign(length, '\0');
    return in.Read(text.data(), length, what);
}

Expected<void> ReadHeader(BufferedReader& in, RmpOutline& outline) {
    std::uint8_t header[kHeaderSize];
    if (Expected<void> read = in.Read(header, sizeof header, Sized(sizeof header, "header")); !read) {
        return read;
    }
    if (std::memcmp(header, kSignature, sizeof kSignature) != 0) {
        return in.Fail(0, "not an RMP map file: it does not start with \".rmp\"");
    }
    const std::uint16_t version = LoadU16(header + kVersionOffset);
    if (version != kVersion) {
        return in.Fail(kVersionOffset, "unknown RMP version " + std::to_string(version) + " (only version " +
                                           std::to_string(kVersion) + " is known)");
    }
    const std::uint16_t strings = LoadU16(header + kStringCountOffset);
    if (strings != kStringCount) {
        return in.Fail(kStringCountOffset, "the header announces " + std::to_string(strings) +
                                               " strings; an RMP file has " + std::to_string(kStringCount));
    }
    outline.layers.resize(header[kLayerCountOffset]);
    outline.entities = LoadU16(header + kEntityCountOffset);
    outline.zones = LoadU16(header + kZoneCountOffset);
    outline.headerX = LoadU16(header + kHeaderXOffset);
    outline.headerY = LoadU16(header + kHeaderYOffset);
    outline.headerLayer = header[kHeaderLayerOffset];
    outline.headerMode = header[kHeaderModeOffset];
    return Success();
}

Expected<void> ReadLayer(BufferedReader& in, std::size_t index, RmpLayerPlace& layer) {
    const std::string what = Numbered("layer ", index);
    std::uint8_t header[kLayerHeaderSize];
    if (Expected<void> read = in.Read(header, sizeof header, "the header of " + what); !read) {
        return read;
    }
    layer.width = LoadU16(header + kLayerWidthOffset);
    layer.height = LoadU16(header + kLayerHeightOffset);
    const std::uint16_t flags = LoadU16(header + kLayerFlagsOffset);
    layer.showFlag = (flags & kLayerHidden) == 0;
    layer.factorsEnabled = (flags & kLayerFactorsOn) != 0;
    layer.factorX = std::bit_cast<float>(LoadU32(header + kLayerFactorXOffset));
    layer.factorY = std::bit_cast<float>(LoadU32(header + kLayerFactorYOffset));
    layer.rateX = std::bit_cast<float>(LoadU32(header + kLayerRateXOffset));
    layer.rateY = std::bit_cast<float>(LoadU32(header + kLayerRateYOffset));
    layer.segments = LoadU32(header + kLayerSegmentCountOffset);
    layer.auxFlag = header[kLayerAuxFlagOffset] != 0;
    if (Expected<void> name = ReadString(in, layer.name, "the name of " + what); !name) {
        return name;
    }
    layer.cells = in.Position();
    const Expected<void> grid = in.Skip(std::uint64_t{kCellSize} * layer.width * layer.height,
                                        "the " + std::to_string(layer.width) + " x " +
                                            std::to_string(layer.height) + " grid of " + what);
    return grid ? in.Skip(std::uint64_t{kSegmentSize} * layer.segments,
                          "the segment list of " + what + " (" + Counted(layer.segments, "segment") + ")")
                : grid;
}

Expected<void> SkipString(BufferedReader& in, const std::string& what) {
    std::uint16_t length = 0;
    Expected<void> read = ReadU16(in, length, what);
    return read ? in.Skip(length, what) : read;
}

// An entity record: its header, and the strings its record type holds.
Expected<void> SkipEntity(BufferedReader& in, std::size_t index) {
    const std::string what = Numbered("entity ", index);
    const std::uint64_t start = in.Position();
    std::uint8_t header[kRecordHeaderSize];
    if (Expected<void> read = in.Read(header, sizeof header, "the header of " + what); !read) {
        return read;
    }
    const std::uint16_t type = LoadU16(header + kEntityTypeOffset);
    if (type > EntityRecordType(3)) {
        return in.Fail(start + kEntityTypeOffset, what + " has the unknown record type " + std::to_string(type));
    }
    if (type == EntityRecordType(3)) {
        return SkipString(in, "the text of " + what);
    }
    if (type != EntityRecordType(2)) {
        return Success();
    }
    std::uint16_t count = 0;
    Expected<void> read = SkipString(in, "the first text of " + what);
    if (read) {
        read = SkipString(in, "the second text of " + what);
    }
    if (read) {
        read = ReadU16(in, count, "the string count of " + what);
    }
    if (read && count != kEntityStringCount) {
        return in.Fail(in.Position() - 2, what + " announces " + std::to_string(count) + " strings, not " +
                                              std::to_string(kEntityStringCount));
    }
    for (std::size_t k = 0; read && k < kEntityStringCount; ++k) {
        read = SkipString(in, Numbered("list string ", k + 1) + " of " + what);
    }
    return read ? in.Skip(kEntityTrailerSize, "the " + std::to_string(kEntityTrailerSize) + " closing bytes of " + what)
                : read;
}

Expected<void> SkipZone(BufferedReader& in, std::size_t index) {
    const std::string what = Numbered("zone ", index);
    std::uint8_t header[kRecordHeaderSize];
    Expected<void> read = in.Read(header, sizeof header, "the header of " + what);
    return read ? SkipString(in, "the text of " + what) : read;
}

}  // namespace

Expected<RmpOutline> ReadRmpOutline(BufferedReader& in) {
    if (in.Remaining() == BufferedReader::kUnknown) {
        return Error(in.Path(), "cannot tell the size of the file");
    }
    RmpOutline outline;
    Expected<void> read = ReadHeader(in, outline);
    for (std::size_t i = 0; read && i < kStringCount; ++i) {
        read = ReadString(in, outline.strings[i], Numbered("string ", i + 1) + " of " + std::to_string(kStringCount));
    }
    // Each layer takes at least its header and name length, each entity its header, each zone its header and text size.
    const std::size_t layers = outline.layers.size();
    if (read) {
        read = in.Need((kLayerHeaderSize + kStringLengthSize) * layers, "the list of " + Counted(layers, "layer"));
    }
    for (std::size_t i = 0; read && i < layers; ++i) {
        read = ReadLayer(in, i, outline.layers[i]);
    }
    outline.records = in.Position();
    if (read) {
        read = in.Need(kRecordHeaderSize * outline.entities,
                       "the list of " + Counted(outline.entities, "entity", "entities"));
    }
    for (std::size_t i = 0; read && i < outline.entities; ++i) {
        read = SkipEntity(in, i);
    }
    if (read) {
        read = in.Need((kRecordHeaderSize + kStringLengthSize) * outline.zones,
                       "the list of " + Counted(outline.zones, "zone"));
    }
    for (std::size_t i = 0; read && i < outline.zones; ++i) {
        read = SkipZone(in, i);
    }
    if (!read) {
        return read.error();
    }
    return outline;
}

}  // namespace gridport
