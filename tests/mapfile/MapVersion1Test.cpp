#include <gtest/gtest.h>

#include "support/ImportFixture.h"

namespace gridport {
namespace {

using test::Bytes;
using test::ImportFixture;
using test::MapV1File;
using test::PatternRts;
using test::PatternVsp;

MapV1File Grid(std::uint16_t width, std::uint16_t height, std::uint16_t value = 1) {
    MapV1File file;
    file.width = width;
    file.height = height;
    file.background.assign(std::size_t{width} * height, value);
    file.foreground.assign(std::size_t{width} * height, value);
    return file;
}

struct Failing {
    const char* what;
    Bytes map;
    Bytes tileset;
    std::string reason;
};

void PrintTo(const Failing& c, std::ostream* os) {
    *os << c.what;
}

class MapImportFailure : public ::testing::TestWithParam<Failing> {};

TEST_P(MapImportFailure, SaysWhyAndWritesNothing) {
    ImportFixture fixture;
    EXPECT_FALSE(fixture.Import(GetParam().map, GetParam().tileset));
    ASSERT_TRUE(fixture.error);
    EXPECT_EQ(fixture.error->Text(), GetParam().reason);
    EXPECT_FALSE(fixture.files.Has(test::kOutputPath));
    EXPECT_EQ(fixture.files.OpenFiles(), 0);
}

Bytes WithIndex(std::uint16_t background, std::uint16_t foreground) {
    MapV1File file = Grid(2, 2, 0);
    file.background[3] = background;
    file.foreground[3] = foreground;
    return file.Build();
}

constexpr const char* kNotAMap =
    "map.map: byte 0: not a MAP file: the first byte is not 4 (version 1) and the first six bytes are not the "
    "version-2 signature 4D 41 50 F9 35 00";

Bytes Prefix(const Bytes& bytes, std::size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapImportFailure,
    ::testing::Values(
        Failing{"empty file", {}, PatternVsp(4).Build(), "map.map: the file is empty"},
        Failing{"lone version byte", {4}, PatternVsp(4).Build(),
                "map.map: byte 0: the 100-byte version-1 header needs 100 bytes, 1 is left"},
        Failing{"version 3", {3, 0, 0, 0, 0, 0, 0, 0}, PatternVsp(4).Build(), kNotAMap},
        Failing{"near v2 signature", {0x4D, 0x41, 0x50, 0xF9, 0x35, 0x01}, PatternVsp(4).Build(), kNotAMap},
        Failing{"short v2 signature", {0x4D, 0x41, 0x50, 0xF9, 0x35}, PatternVsp(4).Build(), kNotAMap},
        Failing{"index T in background", WithIndex(4, 0), PatternVsp(4).Build(),
                "map.map: layer \"Background\" cell (1, 1) holds tile 4; the tileset has 4 tiles"},
        Failing{"index T in foreground", WithIndex(0, 4), PatternVsp(4).Build(),
                "map.map: layer \"Foreground\" cell (1, 1) holds tile 4; the tileset has 4 tiles"},
        Failing{"index 65535", WithIndex(65535, 1), PatternVsp(4).Build(),
                "map.map: layer \"Background\" cell (1, 1) holds tile 65535; the tileset has 4 tiles"},
        Failing{"tileset without tiles", Grid(0, 0).Build(), PatternVsp(0).Build(),
                "tiles.vsp: the tileset has no tiles"},
        Failing{"broken tileset", Grid(1, 1).Build(), Bytes(771, 0),
                "tiles.vsp: byte 0: the 772-byte VSP header needs 772 bytes, 771 are left"},
        Failing{"layers beyond the file", Prefix(Grid(300, 300).Build(), 1000), PatternVsp(4).Build(),
                "map.map: byte 100: the pair of 300 x 300 layers needs 360000 bytes, 900 are left"}));

TEST(MapVersion1, IndexBelowTheTileCountImportsAndZeroForegroundIsTheNewTile) {
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(WithIndex(9, 9), 10));
    const TileMap& map = fixture.map;
    ASSERT_EQ(map.layers.size(), 2U);
    EXPECT_EQ(map.layers[0].name, "Background");
    EXPECT_EQ(map.layers[1].name, "Foreground");
    EXPECT_EQ(map.layers[0].tiles, (std::vector<std::uint32_t>{0, 0, 0, 9}));
    EXPECT_EQ(map.layers[1].tiles, (std::vector<std::uint32_t>{10, 10, 10, 9}));
    ASSERT_EQ(map.tileset.TileCount(), 11);
    EXPECT_EQ(map.tileset.tiles[10].image.pixels, Bytes(16 * 16 * 4, 0));
    EXPECT_EQ(map.headerMode, 4);
    EXPECT_EQ(fixture.files.OpenFiles(), 0);
}

TEST(MapVersion1, CellsLandRowByRow) {
    MapV1File file = Grid(3, 2);
    file.background = {1, 2, 3, 4, 5, 6};
    file.foreground = {6, 5, 4, 3, 2, 1};
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(file.Build(), 7));
    for (const MapLayer& layer : fixture.map.layers) {
        EXPECT_EQ(layer.width, 3);
        EXPECT_EQ(layer.height, 2);
    }
    EXPECT_EQ(fixture.map.layers[0].tiles[1 * 3 + 2], 6U);
    EXPECT_EQ(fixture.map.layers[1].tiles[1 * 3 + 0], 3U);
}

TEST(MapVersion1, EmptyGridsStillGainTheTransparentTile) {
    for (const auto& [width, height] : {std::pair{0, 0}, std::pair{5, 0}, std::pair{0, 9}}) {
        ImportFixture fixture;
        MapV1File file = Grid(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
        ASSERT_TRUE(fixture.Import(file.Build(), 1));
        EXPECT_EQ(fixture.map.layers[1].width, width);
        EXPECT_EQ(fixture.map.layers[1].height, height);
        EXPECT_EQ(fixture.map.tileset.TileCount(), 2);
    }
}

TEST(MapVersion1, LayerSelectorAndHeaderValues) {
    // A selector that names no layer leaves the header layer at 0.
    const std::pair<std::uint8_t, std::int32_t> cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 0}, {200, 0}, {4, 0}};
    for (const auto& [selector, headerLayer] : cases) {
        MapV1File file = Grid(1, 1);
        file.selector = selector;
        file.headerX = 65535;
        file.headerY = 65534;
        ImportFixture fixture;
        ASSERT_TRUE(fixture.Import(file.Build(), 2));
        EXPECT_EQ(fixture.map.headerLayer, headerLayer) << int{selector};
        EXPECT_EQ(fixture.map.headerX, 65535);
        EXPECT_EQ(fixture.map.headerY, 65534);
    }
}

TEST(MapVersion1, HeaderTextRunsToItsFirstZeroWithinTheHeader) {
    const auto text = [](const Bytes& bytes) {
        ImportFixture fixture;
        EXPECT_TRUE(fixture.Import(bytes, 2));
        return fixture.map.linkedFileName;
    };
    MapV1File file = Grid(1, 1);
    file.text = "ABCDEFGHIJKLM";
    EXPECT_EQ(text(file.Build()), "ABCDEFGHIJKLM");
    file.text = "";
    EXPECT_EQ(text(file.Build()), "");
    // A nonzero selector carries the text on into the bytes after it.
    file.text = "ABCDEFGHIJKLM";
    file.selector = 2;
    Bytes bytes = file.Build();
    bytes[28] = 'x';
    bytes[29] = 'y';
    EXPECT_EQ(text(bytes), "ABCDEFGHIJKLM\x02xy");
    // With no zero byte at all, it ends with the header (a 257 x 257 map,
    // since the size fields are in the text's way too).
    bytes.assign(100 + 4 * 257 * 257, 0);
    bytes[0] = 4;
    std::fill(bytes.begin() + 14, bytes.begin() + 100, 'z');
    std::fill(bytes.begin() + 68, bytes.begin() + 72, 1);
    const std::string ended = text(bytes);
    EXPECT_EQ(ended.size(), 86U);
    EXPECT_EQ(ended.back(), 'z');
}

TEST(MapVersion1, TransparentTileTakesTheRtsTileSize) {
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(Grid(2, 2).Build(), PatternRts(3, 32, 8).Build(), "tiles.rts"));
    ASSERT_EQ(fixture.map.tileset.TileCount(), 4);
    EXPECT_EQ(fixture.map.tileset.tileWidth, 32);
    EXPECT_EQ(fixture.map.tileset.tiles[3].image.width, 32);
    EXPECT_EQ(fixture.map.tileset.tiles[3].image.height, 8);
    EXPECT_EQ(fixture.map.tileset.tiles[3].image.pixels, Bytes(32 * 8 * 4, 0));
}

// Layers are read in blocks of 65536 cells: sizes at, just below and well
// past a block, and a layer whose largest index is its very last cell.
TEST(MapVersion1, LayersAcrossReadBlocksKeepEveryCell) {
    constexpr std::uint16_t kTiles = 1000;
    for (const auto& [width, height] : {std::pair{256, 256}, std::pair{257, 255}, std::pair{65535, 3}}) {
        MapV1File file = Grid(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
        for (std::size_t i = 0; i < file.background.size(); ++i) {
            file.background[i] = static_cast<std::uint16_t>(i * 7 % kTiles);
            file.foreground[i] = static_cast<std::uint16_t>(i * 13 % kTiles);
        }
        std::vector<std::uint32_t> background(file.background.begin(), file.background.end());
        std::vector<std::uint32_t> foreground;
        for (const std::uint16_t cell : file.foreground) {
            foreground.push_back(cell == 0 ? kTiles : cell);
        }
        ImportFixture fixture;
        ASSERT_TRUE(fixture.Import(file.Build(), PatternRts(kTiles, 1, 1).Build(), "tiles.rts")) << width;
        EXPECT_EQ(fixture.map.layers[0].tiles, background) << width;
        EXPECT_EQ(fixture.map.layers[1].tiles, foreground) << width;

        file.foreground.back() = kTiles;
        ImportFixture tooLarge;
        EXPECT_FALSE(tooLarge.Import(file.Build(), PatternRts(kTiles, 1, 1).Build(), "tiles.rts")) << width;
    }
}

TEST(MapVersion1, EveryTruncatedFileFails) {
    MapV1File file = Grid(3, 2);
    const Bytes whole = file.Build();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        ImportFixture fixture;
        EXPECT_FALSE(fixture.Import(Prefix(whole, size), 2)) << size;
        ASSERT_TRUE(fixture.error) << size;
        EXPECT_EQ(fixture.error->Path(), "map.map") << size;
    }
    Bytes longer = whole;
    longer.push_back(0xEE);
    ImportFixture fixture;
    EXPECT_TRUE(fixture.Import(longer, 2));
}

}  // namespace
}  // namespace gridport
