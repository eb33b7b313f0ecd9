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
    std::uint8_t header[kHeaderSize] = {kSignature[0], kSignature[1], kSignature[2], kSignature[3]};
    StoreU16(header + kVersionOffset, kVersion);
    header[kLayerCountOffset] = static_cast<std::uint8_t>(layerCount);
    StoreU16(header + kHeaderXOffset, static_cast<std::uint32_t>(headerX));
    StoreU16(header + kHeaderYOffset, static_cast<std::uint32_t>(headerY));
    header[kHeaderLayerOffset] = static_cast<std::uint8_t>(headerLayer);
    header[kHeaderModeOffset] = static_cast<std::uint8_t>(headerMode);
    StoreU16(header + kStringCountOffset, kStringCount);
    out_.PutBytes(header, sizeof header);
    for (std::size_t i = 0; i < kStringCount; ++i) {
        WriteString(out_, i == kLinkedFileString ? linkedFileName : std::string_view());
    }
}

void RmpWriter::BeginLayer(const RmpLayerFields& fields, std::int32_t width, std::int32_t height) {
    std::uint8_t header[kLayerHeaderSize] = {};
    StoreU16(header + kLayerWidthOffset, static_cast<std::uint32_t>(width));
    StoreU16(header + kLayerHeightOffset, static_cast<std::uint32_t>(height));
    StoreU16(header + kLayerFlagsOffset, fields.Flags());
    StoreF32(header + kLayerFactorXOffset, fields.factorX);
    StoreF32(header + kLayerFactorYOffset, fields.factorY);
    StoreF32(header + kLayerRateXOffset, fields.rateX);
    StoreF32(header + kLayerRateYOffset, fields.rateY);
    header[kLayerAuxFlagOffset] = fields.auxFlag ? 1 : 0;
    out_.PutBytes(header, sizeof header);
    WriteString(out_, fields.name);
}

}  // namespace gridport
