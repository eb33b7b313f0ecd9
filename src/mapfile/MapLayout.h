#pragma once

#include <cstddef>
#include <cstdint>

// The layout of both versions of the MAP file, for its reader. Offsets count from the start of the file.
namespace gridport::mapfile {

// Version 1: the first byte is 4; a 100-byte header, then two uncompressed layers of 16-bit tile indices.
constexpr std::uint8_t kVersion1Byte = 4;
constexpr std::size_t kV1HeaderSize = 100;
constexpr std::size_t kV1TextOffset = 14;
constexpr std::size_t kV1SelectorOffset = 27;
constexpr std::size_t kV1XOffset = 62;
constexpr std::size_t kV1YOffset = 64;
constexpr std::size_t kV1WidthOffset = 68;
constexpr std::size_t kV1HeightOffset = 70;
constexpr std::int32_t kV1Mode = 4;  // Every version-1 map is written with this header mode.

// Version 2: a signature, a 206-byte header, seven 12-byte layer records, then per layer 4 unused bytes and RLE cells.
constexpr std::uint8_t kVersion2Signature[6] = {0x4D, 0x41, 0x50, 0xF9, 0x35, 0x00};
constexpr std::size_t kV2HeaderSize = 206;
constexpr std::size_t kV2TextOffset = 70;
constexpr std::size_t kV2OrderOffset = 130;
constexpr std::size_t kV2XOffset = 150;
constexpr std::size_t kV2YOffset = 152;
constexpr std::size_t kV2CountOffset = 205;
constexpr std::size_t kV2RecordSize = 12;
constexpr std::size_t kV2RecordWidthOffset = 4;
constexpr std::size_t kV2RecordHeightOffset = 6;
// The reader keeps its layers in tables of seven. The layer-order text has digits for the first six only ('1' to '6'):
// a seventh layer ("Layer G") is decoded and checked against the tileset, but never reaches the map.
constexpr std::size_t kV2MaxLayers = 7;
constexpr char kV2FirstDigit = '1';
constexpr char kV2LastDigit = '6';
constexpr char kV2HeaderLayerMark = 'E';
constexpr std::uint64_t kV2LayerPrefixSize = 4;
// A word of FF00 or more starts a run: its low byte is the count (0 and 1 both mean one), the next word the value.
constexpr std::uint16_t kV2RunMarker = 0xFF00;
constexpr std::uint64_t kV2LongestRun = 255;

}  // namespace gridport::mapfile
