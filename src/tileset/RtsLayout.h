#pragma once

#include <cstddef>
#include <cstdint>

// The RTS tileset layout, shared by its reader, its writer and the RMP reader. Offsets count from their record's start.
namespace gridport::rts {

constexpr std::size_t kHeaderSize = 256;  // The header.
constexpr std::uint8_t kSignature[4] = {'.', 'r', 't', 's'};
constexpr std::size_t kVersionOffset = 4;
constexpr std::size_t kCountOffset = 6;
constexpr std::size_t kWidthOffset = 8;
constexpr std::size_t kHeightOffset = 10;
constexpr std::size_t kBitsOffset = 12;
constexpr std::size_t kSegmentFlagOffset = 15;  // Whether segment data follows each information block.
constexpr std::uint16_t kVersion = 1;
constexpr std::uint16_t kBitsPerPixel = 32;
constexpr std::uint32_t kMaxTiles = 65535;  // The header counts tiles in 16 bits.

constexpr std::size_t kInfoBlockSize = 32;  // Each tile's information block.
constexpr std::size_t kInfoFlagOffset = 1;
constexpr std::size_t kInfoValueAOffset = 2;
constexpr std::size_t kInfoValueBOffset = 4;
constexpr std::size_t kSegmentTypeOffset = 7;  // The form of the segment data that follows the block.
constexpr std::size_t kSegmentCountOffset = 8;
constexpr std::uint8_t kSegmentsAsPixelMask = 1;
constexpr std::uint8_t kSegmentsAsList = 2;

constexpr std::size_t kSegmentRecordSize = 8;  // A segment: four 16-bit values.

}  // namespace gridport::rts
