#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The RMP layout, shared by its writer and reader. Offsets count from the start of their record.
namespace gridport::rmp {

constexpr std::size_t kHeaderSize = 256;  // The file header.
constexpr std::uint8_t kSignature[4] = {'.', 'r', 'm', 'p'};
constexpr std::size_t kVersionOffset = 4;
constexpr std::size_t kLayerCountOffset = 7;
constexpr std::size_t kEntityCountOffset = 9;
constexpr std::size_t kHeaderXOffset = 11;
constexpr std::size_t kHeaderYOffset = 13;
constexpr std::size_t kHeaderLayerOffset = 15;
constexpr std::size_t kHeaderModeOffset = 16;
constexpr std::size_t kStringCountOffset = 17;
constexpr std::size_t kZoneCountOffset = 19;
constexpr std::uint16_t kVersion = 1;
constexpr std::uint16_t kStringCount = 9;
// The nine strings after the header, in order, as a summary names them. The writer fills the tileset name alone.
constexpr const char* kStringNames[kStringCount] = {
    "string 1",    "tileset name stored in the map", "string 3",    "text A",      "text B",
    "text list 1", "text list 2",                    "text list 3", "text list 4",
};
constexpr std::size_t kLinkedFileString = 1;
// The header counts layers in 8 bits; the embedded tileset counts its tiles in 16 (rts::kMaxTiles).
constexpr std::size_t kMaxLayers = 255;

constexpr std::size_t kStringLengthSize = 2;  // A string: a 16-bit length, then that many bytes.

constexpr std::size_t kLayerHeaderSize = 30;  // A layer's header, followed by its name, its cells and its segments.
constexpr std::size_t kLayerWidthOffset = 0;
constexpr std::size_t kLayerHeightOffset = 2;
constexpr std::size_t kLayerFlagsOffset = 4;
constexpr std::size_t kLayerFactorXOffset = 6;
constexpr std::size_t kLayerFactorYOffset = 10;
constexpr std::size_t kLayerRateXOffset = 14;
constexpr std::size_t kLayerRateYOffset = 18;
constexpr std::size_t kLayerSegmentCountOffset = 22;
constexpr std::size_t kLayerAuxFlagOffset = 26;
constexpr std::uint16_t kLayerHidden = 1;  // Flag bits: bit 0 set hides the layer, bit 1 turns its factors on.
constexpr std::uint16_t kLayerFactorsOn = 2;
constexpr std::size_t kCellSize = 2;  // A cell: the low 16 bits of its tile index.
constexpr std::size_t kSegmentSize = 16;  // A layer segment: four full 32-bit values.

constexpr std::size_t kRecordHeaderSize = 16;  // Entities and zones both start with a 16-byte header.
constexpr std::size_t kEntityXOffset = 0;
constexpr std::size_t kEntityYOffset = 2;
constexpr std::size_t kEntityLayerOffset = 4;
constexpr std::size_t kEntityTypeOffset = 6;
// An entity's record type by its kind, and back: type 1 holds kind 2 with all seven strings, type 2 kind 3 with its
// first text; type 0 holds no data and reads back as kind 0. Other types are unknown.
constexpr std::uint16_t EntityRecordType(std::int32_t kind) {
    return kind == 2 ? 1 : kind == 3 ? 2 : 0;
}
constexpr std::int32_t EntityKind(std::uint16_t recordType) {
    return recordType == 1 ? 2 : recordType == 2 ? 3 : 0;
}
// After an entity header of record type 1: two strings, this count, as many strings again, then zero bytes.
constexpr std::uint16_t kEntityStringCount = 5;
constexpr std::size_t kEntityTrailerSize = 16;
// A zone's header holds six 16-bit values from its start, in the order x1, y1, x2, y2, layer, aux value.
constexpr std::size_t kZoneValueCount = 6;

}  // namespace gridport::rmp

namespace gridport {

// A layer's header fields except its size, which the writer is given and the reader keeps separately.
struct RmpLayerFields {
    std::string name;
    bool factorsEnabled = false;
    float factorX = 1.0F;
    float factorY = 1.0F;
    float rateX = 0.0F;
    float rateY = 0.0F;
    bool showFlag = true;
    bool auxFlag = false;

    std::uint16_t Flags() const {
        return (showFlag ? 0U : rmp::kLayerHidden) | (factorsEnabled ? rmp::kLayerFactorsOn : 0U);
    }
};

}  // namespace gridport
