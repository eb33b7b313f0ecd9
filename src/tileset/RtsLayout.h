#pragma once

#include <cstddef>
#include <cstdint>

// The layout of the RTS tileset file, shared by its loader and writer and by
// readers that walk an embedded copy to find where it ends.
namespace gridport::rts {

constexpr std::size_t kHeaderSize = 256;
constexpr std::size_t kInfoBlockSize = 32;
constexpr std::size_t kSegmentRecordSize = 8;
constexpr std::uint8_t kSignature[4] = {'.', 'r', 't', 's'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint16_t kBitsPerPixel = 32;
// Header byte 15: whether segment data follows each information block.
constexpr std::size_t kSegmentFlagOffset = 15;
// Information block byte 7: the form of that segment data.
constexpr std::size_t kSegmentTypeOffset = 7;
constexpr std::uint8_t kSegmentsAsPixelMask = 1;
constexpr std::uint8_t kSegmentsAsList = 2;

}  // namespace gridport::rts
