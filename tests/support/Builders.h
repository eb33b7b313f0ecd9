#pragma once

// Byte builders for every file format gridport reads or writes. They are
// written from the formats' layouts, independently of the code under test,
// so that a test's expected bytes never come from the writer itself.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gridport::test {

using Bytes = std::vector<std::uint8_t>;

// Appends little-endian fields.
class ByteBuilder {
public:
    ByteBuilder& U8(std::uint32_t value);
    ByteBuilder& U16(std::uint32_t value);
    ByteBuilder& U32(std::uint32_t value);
    ByteBuilder& F32(float value);
    ByteBuilder& Raw(const Bytes& data);
    ByteBuilder& Text(std::string_view text);
    ByteBuilder& Zeros(std::size_t count);
    // An RMP string: 16-bit length, then the bytes.
    ByteBuilder& String(std::string_view text);

    Bytes bytes;
};

// A palette of 256 six-bit entries where entry i is (i % 64, (i * 3) % 64,
// (i * 7) % 64); tests that need particular colours set them.
Bytes PatternPalette();

// The RGBA bytes the VSP import makes of one palette index.
std::array<std::uint8_t, 4> VspColour(const Bytes& palette, std::uint8_t index);

// A VSP tileset. Version 2 is plain; other versions are compressed, from
// `stream` when given, otherwise by CompressVsp(indices).
struct VspFile {
    std::uint16_t version = 2;
    Bytes palette = PatternPalette();
    std::uint16_t count = 0;
    Bytes indices;  // count * 256 palette indices
    std::optional<Bytes> stream;

    Bytes Build() const;
};

// Runs of three or more equal bytes, and every 0xFF byte, as FF L V items.
Bytes CompressVsp(const Bytes& indices);
// A VSP tileset of count tiles whose indices follow a simple pattern.
VspFile PatternVsp(std::uint16_t count, std::uint16_t version = 2);

struct RtsTile {
    Bytes pixels;  // width * height * 4
    std::uint8_t infoFlag = 0;
    std::uint16_t infoValueA = 0;
    std::uint16_t infoValueB = 0;
    std::uint8_t segmentType = 2;
    std::vector<std::array<std::uint16_t, 4>> segments;
    Bytes typeOneData;  // what follows a block of type 1
};

struct RtsFile {
    std::array<std::uint8_t, 4> signature = {'.', 'r', 't', 's'};
    std::uint16_t version = 1;
    std::uint16_t bitsPerPixel = 32;
    std::uint16_t tileWidth = 16;
    std::uint16_t tileHeight = 16;
    std::uint8_t segmentFlag = 1;
    std::optional<std::uint16_t> countField;  // the tile count written, when not tiles.size()
    std::vector<RtsTile> tiles;

    Bytes Build() const;
};

// count tiles of the given size with distinct pixel patterns, no segments.
RtsFile PatternRts(std::uint16_t count, std::uint16_t width, std::uint16_t height);
// The RTS form of a VSP tileset as the converter embeds it: its tiles, plus
// one transparent tile when withTransparentTile is set.
RtsFile RtsFromVsp(const VspFile& vsp, bool withTransparentTile);

struct MapV1File {
    std::string text;  // at offset 14, raw
    std::uint8_t selector = 0;
    std::uint16_t headerX = 0;
    std::uint16_t headerY = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<std::uint16_t> background;
    std::vector<std::uint16_t> foreground;

    Bytes Build() const;
};

struct MapV2Layer {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<std::uint16_t> cells;
    std::optional<std::vector<std::uint16_t>> words;  // the encoded words, when not EncodeV2Cells(cells)
};

struct MapV2File {
    std::string text;   // at offset 70, raw
    std::string order;  // at offset 130, raw
    std::uint16_t headerX = 0;
    std::uint16_t headerY = 0;
    std::optional<std::uint8_t> countField;  // the layer count written, when not layers.size()
    std::vector<MapV2Layer> layers;

    Bytes Build() const;
};

// Runs of three or more equal cells, and every value from FF00 up, as runs.
std::vector<std::uint16_t> EncodeV2Cells(const std::vector<std::uint16_t>& cells);

struct RmpLayer {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t flags = 0;
    float factorX = 1.0F;
    float factorY = 1.0F;
    float rateX = 0.0F;
    float rateY = 0.0F;
    std::uint8_t auxFlag = 0;
    std::string name;
    std::vector<std::uint16_t> cells;
    std::vector<std::array<std::int32_t, 4>> segments;
};

struct RmpFile {
    std::uint16_t headerX = 0;
    std::uint16_t headerY = 0;
    std::uint8_t headerLayer = 0;
    std::uint8_t headerMode = 0;
    std::string linkedFileName;
    std::string textA;
    std::string textB;
    std::array<std::string, 4> textList;
    std::vector<RmpLayer> layers;
    std::uint16_t entityCount = 0;
    Bytes entityRecords;
    std::uint16_t zoneCount = 0;
    Bytes zoneRecords;
    Bytes tileset;

    Bytes Build() const;
};

}  // namespace gridport::test
