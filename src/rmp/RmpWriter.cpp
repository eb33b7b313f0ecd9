// The RMP file: a 256-byte header, nine strings, layers, entities, zones, and the tileset as a complete RTS file.

#include "rmp/RmpWriter.h"

#include "base/ByteOrder.h"
#include "rmp/RmpLayout.h"

namespace gridport {

using namespace rmp;

std::string_view StoredString(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    return text.substr(0, text.size() % 65536);
}

void WriteString(BufferedWriter& out, std::string_view text) {
    text = StoredString(text);
    out.PutU16(static_cast<std::uint32_t>(text.size()));
    out.PutBytes(text.data(), text.size());
}

void RmpWriter::Head(std::int32_t headerX, std::int32_t headerY, std::int32_t headerLayer, std::int32_t headerMode,
                     std::size_t layerCount, std::string_view linkedFileName) {
    std::array<std::string_view, kStringCount> strings{};
    strings[kLinkedFileString] = linkedFileName;
    Head(headerX, headerY, headerLayer, headerMode, layerCount, 0, 0, strings);
}

void RmpWriter::Head(std::int32_t headerX, std::int32_t headerY, std::int32_t headerLayer, std::int32_t headerMode,
                     std::size_t layerCount, std::size_t entityCount, std::size_t zoneCount,
                     const std::array<std::string_view, kStringCount>& strings) {
    std::uint8_t header[kHeaderSize] = {kSignature[0], kSignature[1], kSignature[2], kSignature[3]};
    StoreU16(header + kVersionOffset, kVersion);
    header[kLayerCountOffset] = static_cast<std::uint8_t>(layerCount);
    StoreU16(header + kEntityCountOffset, static_cast<std::uint32_t>(entityCount));
    StoreU16(header + kZoneCountOffset, static_cast<std::uint32_t>(zoneCount));
    StoreU16(header + kHeaderXOffset, static_cast<std::uint32_t>(headerX));
    StoreU16(header + kHeaderYOffset, static_cast<std::uint32_t>(headerY));
    header[kHeaderLayerOffset] = static_cast<std::uint8_t>(headerLayer);
    header[kHeaderModeOffset] = static_cast<std::uint8_t>(headerMode);
    StoreU16(header + kStringCountOffset, kStringCount);
    out_.PutBytes(header, sizeof header);
    for (const std::string_view text : strings) {
        WriteString(out_, text);
    }
}

void RmpWriter::BeginLayer(const RmpLayerFields& fields, std::int32_t width, std::int32_t height,
                           std::uint32_t segmentCount) {
    std::uint8_t header[kLayerHeaderSize] = {};
    StoreU16(header + kLayerWidthOffset, static_cast<std::uint32_t>(width));
    StoreU16(header + kLayerHeightOffset, static_cast<std::uint32_t>(height));
    StoreU16(header + kLayerFlagsOffset, fields.Flags());
    StoreF32(header + kLayerFactorXOffset, fields.factorX);
    StoreF32(header + kLayerFactorYOffset, fields.factorY);
    StoreF32(header + kLayerRateXOffset, fields.rateX);
    StoreF32(header + kLayerRateYOffset, fields.rateY);
    StoreU32(header + kLayerSegmentCountOffset, segmentCount);
    header[kLayerAuxFlagOffset] = fields.auxFlag ? 1 : 0;
    out_.PutBytes(header, sizeof header);
    WriteString(out_, fields.name);
}

void RmpWriter::LayerSegment(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    std::uint8_t record[kSegmentSize];
    StoreU32(record, static_cast<std::uint32_t>(x1));
    StoreU32(record + 4, static_cast<std::uint32_t>(y1));
    StoreU32(record + 8, static_cast<std::uint32_t>(x2));
    StoreU32(record + 12, static_cast<std::uint32_t>(y2));
    out_.PutBytes(record, sizeof record);
}

void RmpWriter::Entity(std::int32_t x, std::int32_t y, std::int32_t layer, std::int32_t kind, std::string_view textA,
                       std::string_view textB, const std::array<std::string_view, kEntityStringCount>& textList) {
    std::uint8_t header[kRecordHeaderSize] = {};
    const std::uint16_t type = EntityRecordType(kind);
    StoreU16(header + kEntityXOffset, static_cast<std::uint32_t>(x));
    StoreU16(header + kEntityYOffset, static_cast<std::uint32_t>(y));
    StoreU16(header + kEntityLayerOffset, static_cast<std::uint32_t>(layer));
    StoreU16(header + kEntityTypeOffset, type);
    out_.PutBytes(header, sizeof header);
    if (type == EntityRecordType(2)) {
        WriteString(out_, textA);
        WriteString(out_, textB);
        out_.PutU16(kEntityStringCount);
        for (const std::string_view text : textList) {
            WriteString(out_, text);
        }
        out_.PutZeros(kEntityTrailerSize);
    } else if (type == EntityRecordType(3)) {
        WriteString(out_, textA);
    }
}

void RmpWriter::Zone(const std::array<std::int32_t, kZoneValueCount>& values, std::string_view text) {
    std::uint8_t header[kRecordHeaderSize] = {};
    for (std::size_t i = 0; i < kZoneValueCount; ++i) {
        StoreU16(header + 2 * i, static_cast<std::uint32_t>(values[i]));
    }
    out_.PutBytes(header, sizeof header);
    WriteString(out_, text);
}

}  // namespace gridport
