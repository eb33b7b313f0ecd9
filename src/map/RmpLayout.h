#pragma once

#include <cstddef>
#include <cstdint>

// The layout of the RMP map file, shared by its writer and by the reader
// that checks converted files.
namespace gridport::rmp {

constexpr std::size_t kHeaderSize = 256;
constexpr std::size_t kLayerHeaderSize = 30;
// Entities and zones both start with a 16-byte header.
constexpr std::size_t kRecordHeaderSize = 16;
constexpr std::uint8_t kSignature[4] = {'.', 'r', 'm', 'p'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint16_t kStringCount = 9;
// What follows the header of an entity of record type 1: two strings, this
// count, as many strings again, and a run of zero bytes.
constexpr std::uint16_t kEntityStringCount = 5;
constexpr std::size_t kEntityTrailerSize = 16;
constexpr std::size_t kStringLengthSize = 2;
// A layer segment: four full 32-bit values.
constexpr std::size_t kSegmentSize = 16;

}  // namespace gridport::rmp
