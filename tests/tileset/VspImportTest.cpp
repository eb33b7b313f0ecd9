#include <gtest/gtest.h>

#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
#include "tileset/Tileset.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;
using test::PatternVsp;
using test::RtsFromVsp;
using test::VspFile;

bool Import(Tileset& tileset, const Bytes& bytes, Error& error) {
    MemoryFileSystem files;
    files.Put("t.vsp", bytes);
    return tileset.ImportVsp("t.vsp", files, error);
}

bool Import(Tileset& tileset, const Bytes& bytes) {
    Error error;
    return Import(tileset, bytes, error);
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
    Tileset tileset;
    ASSERT_TRUE(Import(tileset, vsp.Build()));
    ASSERT_EQ(tileset.TileCount(), 5);
    EXPECT_EQ(AllPixels(tileset), ExpectedPixels(vsp));
    for (const Tile& tile : tileset.tiles) {
        EXPECT_EQ(tile.image.width, 16);
        EXPECT_EQ(tile.image.height, 16);
        EXPECT_FALSE(tile.infoFlag);
        EXPECT_EQ(tile.segments.Count(), 0);
    }
}

TEST_P(VspVersion, NoTilesIsAnEmptyTileset) {
    const Bytes bytes = PatternVsp(0, GetParam()).Build();
    EXPECT_EQ(bytes.size(), GetParam() == 2 ? 772U : 776U);
    Tileset tileset;
    tileset.AppendBlankTiles(3);
    ASSERT_TRUE(Import(tileset, bytes));
    EXPECT_EQ(tileset.TileCount(), 0);
}

TEST_P(VspVersion, EveryTruncationFailsAndChangesNothing) {
    const Bytes whole = PatternVsp(2, GetParam()).Build();
    Tileset tileset;
    tileset.AppendBlankTiles(1);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        Error error;
        ASSERT_FALSE(Import(tileset, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)), error))
            << size;
        ASSERT_EQ(error.File(), "t.vsp");
        ASSERT_EQ(tileset.TileCount(), 1);
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
    Tileset tileset;
    EXPECT_TRUE(Import(tileset, vsp.Build()));
    Bytes reds;
    for (std::size_t k = 0; k < count; ++k) {
        reds.push_back(tileset.tiles[0].image.pixels[4 * k]);
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
    Tileset tileset;
    ASSERT_TRUE(Import(tileset, vsp.Build()));
    EXPECT_EQ(tileset.tiles[0].image.pixels[4 * 255], 8);
}

TEST(VspImport, EmptyRunsStillEndWithTheData) {
    VspFile vsp;
    vsp.version = 0;
    vsp.count = 1;
    vsp.stream = Bytes{};
    for (int i = 0; i < 300; ++i) {
        vsp.stream->insert(vsp.stream->end(), {0xFF, 0x00, 0x07});
    }
    Tileset tileset;
    Error error;
    EXPECT_FALSE(Import(tileset, vsp.Build(), error));
    EXPECT_EQ(error.Text(), "t.vsp: byte 1676: tile 0 ends after 0 of its 256 pixels");
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
    Tileset tileset;
    ASSERT_TRUE(Import(tileset, vsp.Build()));
    const Bytes& pixels = tileset.tiles[0].image.pixels;
    EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + 12), (Bytes{0, 0, 0, 0, 252, 128, 0, 255, 0, 4, 252, 255}));
}

TEST(VspImport, MissingFileAndClaimsBeyondTheFileFail) {
    MemoryFileSystem files;
    Tileset tileset;
    Error missing;
    EXPECT_FALSE(tileset.ImportVsp("none.vsp", files, missing));
    EXPECT_EQ(missing.Text(), "none.vsp: cannot open: No such file or directory");
    for (const std::uint16_t version : {1, 2}) {
        Bytes bytes = PatternVsp(1, version).Build();
        bytes[770] = 0xFF;
        bytes[771] = 0xFF;
        Error error;
        EXPECT_FALSE(Import(tileset, bytes, error)) << version;
        EXPECT_EQ(error.Text().find("t.vsp: byte 770: the header counts 65535 tiles of 256 pixels, but "), 0U)
            << error.Text();
    }
}

TEST(VspImport, SetsTheTileSizeItMakes) {
    Tileset tileset;
    tileset.tileWidth = 32;
    tileset.tileHeight = 8;
    ASSERT_TRUE(Import(tileset, PatternVsp(1).Build()));
    EXPECT_EQ(tileset.tileWidth, 16);
    EXPECT_EQ(tileset.tileHeight, 16);
}

}  // namespace
}  // namespace gridport
