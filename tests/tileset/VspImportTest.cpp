#include <gtest/gtest.h>

#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
#include "support/Tileset.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;
using test::PatternVsp;
using test::RtsFromVsp;
using test::VspFile;

Expected<Tileset> Import(const Bytes& bytes) {
    return test::ReadInMemory("t.vsp", bytes, [](BufferedReader& in) { return LoadTileset(in, TilesetKind::Vsp); });
}

// All pixels of the tileset, tile after tile.
Bytes AllPixels(const Tileset& tileset) {
    Bytes pixels;
    for (const Tile& tile : tileset.tiles) {
        pixels.insert(pixels.end(), tile.image.pixels.begin(), tile.image.pixels.end());
    }
    return pixels;
}

Bytes ExpectedPixels(const VspFile& vsp) {
    Bytes pixels;
    for (const auto& tile : RtsFromVsp(vsp, false).tiles) {
        pixels.insert(pixels.end(), tile.pixels.begin(), tile.pixels.end());
    }
    return pixels;
}

class VspVersion : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(VspVersion, ImportsEveryTileAndPixel) {
    const VspFile vsp = PatternVsp(5, GetParam());
    const Expected<Tileset> imported = Import(vsp.Build());
    ASSERT_TRUE(imported);
    const Tileset& tileset = *imported;
    EXPECT_EQ(tileset.tileWidth, 16);
    EXPECT_EQ(tileset.tileHeight, 16);
    ASSERT_EQ(tileset.TileCount(), 5);
    EXPECT_EQ(AllPixels(tileset), ExpectedPixels(vsp));
    for (const Tile& tile : tileset.tiles) {
        EXPECT_EQ(tile.image.width, 16);
        EXPECT_EQ(tile.image.height, 16);
        EXPECT_FALSE(tile.infoFlag);
        EXPECT_EQ(tile.segments.size(), 0);
    }
}

TEST_P(VspVersion, NoTilesIsAnEmptyTileset) {
    const Bytes bytes = PatternVsp(0, GetParam()).Build();
    EXPECT_EQ(bytes.size(), GetParam() == 2 ? 772U : 776U);
    const Expected<Tileset> imported = Import(bytes);
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->TileCount(), 0);
}

TEST_P(VspVersion, EveryTruncationFails) {
    const Bytes whole = PatternVsp(2, GetParam()).Build();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const Expected<Tileset> imported = Import(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
        ASSERT_FALSE(imported) << size;
        ASSERT_EQ(imported.error().Path(), "t.vsp");
        ASSERT_LE(imported.error().Offset().value_or(0), size);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, VspVersion, ::testing::Values(0, 1, 2, 3, 65535));

// One tile whose first indices come from the stream; the rest is padding.
Bytes FirstIndices(const Bytes& stream, std::size_t count) {
    VspFile vsp;
    vsp.version = 1;
    vsp.count = 1;
    vsp.stream = stream;
    vsp.stream->insert(vsp.stream->end(), {0xFF, 255, 0x00, 0xFF, 255, 0x00});
    const Expected<Tileset> tileset = Import(vsp.Build());
    EXPECT_TRUE(tileset);
    Bytes reds;
    for (std::size_t k = 0; tileset && k < count; ++k) {
        reds.push_back(tileset->tiles[0].image.pixels[4 * k]);
    }
    return reds;
}

TEST(VspImport, StreamItems) {
    // Palette entry i has red i % 64, so red bytes are 4 * index here.
    EXPECT_EQ(FirstIndices({0x05, 0xFF, 0x03, 0x07, 0x09}, 6), (Bytes{20, 28, 28, 28, 36, 0}));
    EXPECT_EQ(FirstIndices({0xFF, 0x00, 0x07, 0x09}, 2), (Bytes{36, 0}));
    // A literal FF byte can only be a run of one.
    EXPECT_EQ(FirstIndices({0xFF, 0x01, 0xFF, 0x02}, 2), (Bytes{252, 8}));
}

TEST(VspImport, ARunPastTheLastTileIsCut) {
    VspFile vsp;
    vsp.version = 0;
    vsp.count = 1;
    vsp.stream = Bytes{0xFF, 200, 0x01, 0xFF, 200, 0x02};
    const Expected<Tileset> tileset = Import(vsp.Build());
    ASSERT_TRUE(tileset);
    EXPECT_EQ(tileset->tiles[0].image.pixels[4 * 255], 8);
}

TEST(VspImport, EmptyRunsStillEndWithTheData) {
    VspFile vsp;
    vsp.version = 0;
    vsp.count = 1;
    vsp.stream = Bytes{};
    for (int i = 0; i < 300; ++i) {
        vsp.stream->insert(vsp.stream->end(), {0xFF, 0x00, 0x07});
    }
    const Expected<Tileset> tileset = Import(vsp.Build());
    ASSERT_FALSE(tileset);
    EXPECT_EQ(tileset.error().Text(), "t.vsp: byte 1676: tile 0 ends after 0 of its 256 pixels");
}

TEST(VspImport, PaletteConversion) {
    VspFile vsp;
    vsp.count = 1;
    vsp.indices = Bytes(256, 0);
    const std::uint8_t entries[][3] = {{9, 9, 9}, {63, 32, 0}, {64, 65, 255}};
    for (std::size_t i = 0; i < 3; ++i) {
        std::copy(entries[i], entries[i] + 3, vsp.palette.begin() + static_cast<std::ptrdiff_t>(3 * i));
        vsp.indices[i] = static_cast<std::uint8_t>(i);
    }
    const Expected<Tileset> tileset = Import(vsp.Build());
    ASSERT_TRUE(tileset);
    const Bytes& pixels = tileset->tiles[0].image.pixels;
    EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + 12), (Bytes{0, 0, 0, 0, 252, 128, 0, 255, 0, 4, 252, 255}));
}

TEST(VspImport, ClaimsBeyondTheFileFail) {
    for (const std::uint16_t version : {1, 2}) {
        Bytes bytes = PatternVsp(1, version).Build();
        bytes[770] = 0xFF;
        bytes[771] = 0xFF;
        const Expected<Tileset> tileset = Import(bytes);
        ASSERT_FALSE(tileset) << version;
        EXPECT_EQ(tileset.error().Text().find("t.vsp: byte 770: the header counts 65535 tiles of 256 pixels, but "), 0U)
            << tileset.error().Text();
    }
}

TEST(VspImport, TheKindIsToldByTheNameInAnyLetterCase) {
    for (const char* vsp : {"a.vsp", "A.VSP", "x/b.Vsp", ".vsp"}) {
        EXPECT_EQ(TilesetKindOf(vsp), TilesetKind::Vsp) << vsp;
    }
    for (const char* rts : {"a.rts", "vsp", "a.vsp.rts", "a.vs", ""}) {
        EXPECT_EQ(TilesetKindOf(rts), TilesetKind::Rts) << rts;
    }
}

}  // namespace
}  // namespace gridport
