#include <gtest/gtest.h>

#include "map/TileMap.h"
#include "map/WriteString.h"
#include "support/Builders.h"
#include "support/MemoryFileSystem.h"

namespace gridport {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::FileOperation;
using test::MemoryFileSystem;
using test::PatternRts;
using test::RmpFile;
using test::RmpLayer;
using test::RtsFile;

Bytes Saved(TileMap& map) {
    MemoryFileSystem files;
    EXPECT_TRUE(map.Save("out.rmp", files));
    return files.Get("out.rmp");
}

TEST(RmpWriter, SmallestMap) {
    TileMap map;
    map.AppendLayer(MapLayer());
    const Bytes bytes = Saved(map);
    RmpFile expected;
    expected.layers.resize(1);
    expected.tileset = RtsFile{}.Build();
    EXPECT_EQ(bytes, expected.Build());
    EXPECT_EQ(bytes.size(), 256U + 18 + 30 + 2 + 256);
    EXPECT_EQ(bytes[7], 1);
    EXPECT_EQ(bytes[17], 9);
}

TEST(RmpWriter, HeaderValuesFlagsAndCellsKeepTheirLowBits) {
    TileMap map;
    MapLayer layer;
    layer.SetName("Layer A");
    ASSERT_TRUE(layer.Resize(3, 2));
    layer.tiles = {65537, 0, 65535, 7, 0x12345678, 1};
    layer.showFlag = false;
    layer.factorsEnabled = true;
    layer.auxFlag = true;
    layer.factorX = 0.5F;
    layer.rateY = -2.0F;
    layer.segments.Append(-1, 2, 70000, -70000);
    map.AppendLayer(layer);
    map.AppendLayer(layer);
    map.SetHeaderX(-1);
    map.SetHeaderY(70000);
    map.SetHeaderLayer(1);
    map.SetHeaderMode(260);
    map.SetLinkedFileName("town.vsp");
    map.textList[2] = "third";
    map.tileset.tileWidth = 7;
    map.tileset.tileHeight = 3;
    map.tileset.AppendBlankTiles(2);

    RmpFile expected;
    expected.headerX = 0xFFFF;
    expected.headerY = 70000 & 0xFFFF;
    expected.headerLayer = 1;
    expected.headerMode = 4;
    expected.linkedFileName = "town.vsp";
    expected.textList[2] = "third";
    RmpLayer rmpLayer{3, 2, 3, 0.5F, 1.0F, 0.0F, -2.0F, 1, "Layer A", {1, 0, 65535, 7, 0x5678, 1},
                      {{-1, 2, 70000, -70000}}};
    expected.layers = {rmpLayer, rmpLayer};
    expected.layers[1].flags = 1;  // the header layer is written with its factors off
    RtsFile tiles = PatternRts(2, 7, 3);
    for (auto& tile : tiles.tiles) {
        for (std::size_t i = 0; i < tile.pixels.size(); ++i) {
            tile.pixels[i] = i % 4 == 3 ? 255 : 0;
        }
    }
    expected.tileset = tiles.Build();

    EXPECT_EQ(Saved(map), expected.Build());
    // Saving leaves the map as it was.
    EXPECT_TRUE(map.layers[1].factorsEnabled);
    EXPECT_TRUE(map.layers[0].factorsEnabled);
    // A second save writes the same file.
    EXPECT_EQ(Saved(map), expected.Build());
}

TEST(RmpWriter, HeaderLayerNamingNoLayerChangesNoFlag) {
    for (const std::int32_t headerLayer : {-1, 2, 300}) {
        TileMap map;
        MapLayer layer;
        layer.factorsEnabled = true;
        map.AppendLayer(layer);
        map.AppendLayer(layer);
        map.SetHeaderLayer(headerLayer);
        const Bytes bytes = Saved(map);
        EXPECT_TRUE(map.layers[0].factorsEnabled);
        EXPECT_TRUE(map.layers[1].factorsEnabled);
        EXPECT_EQ(bytes[15], static_cast<std::uint8_t>(headerLayer));
        EXPECT_EQ(bytes[256 + 18 + 4], 2);
    }
}

TEST(RmpWriter, EntityAndZoneRecords) {
    TileMap map;
    MapEntity full;
    full.kind = 2;
    full.x = 1;
    full.y = -2;
    full.layer = 65539;
    MapEntity named;
    named.kind = 3;
    named.textA = "hi";
    MapEntity bare;
    bare.kind = 1;
    MapZone zone{1, 2, 3, 4, 5, 6, "abc"};
    map.entities = {full, named, bare};
    map.zones = {zone};

    RmpFile expected;
    expected.entityCount = 3;
    expected.entityRecords = ByteBuilder()
                                 .U16(1).U16(0xFFFE).U16(3).U16(1).Zeros(8)
                                 .Raw({0, 0, 0, 0, 5, 0}).Zeros(10).Zeros(16)
                                 .U16(0).U16(0).U16(0).U16(2).Zeros(8)
                                 .Raw({2, 0, 'h', 'i'})
                                 .Zeros(6).U16(0).Zeros(8)
                                 .bytes;
    expected.zoneCount = 1;
    expected.zoneRecords = Bytes{1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 0, 0, 0, 0, 3, 0, 'a', 'b', 'c'};
    expected.tileset = RtsFile{}.Build();
    const Bytes bytes = Saved(map);
    EXPECT_EQ(bytes, expected.Build());
    EXPECT_EQ(bytes.size(), 256U + 18 + 48 + 20 + 16 + 21 + 256);
}

TEST(RmpWriter, BlockBoundariesDontChangeTheBytes) {
    // Rows wider than the write buffer, and grids that aren't a multiple of it.
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{40000, 1}, {333, 7}, {1, 70001}}) {
        TileMap map;
        MapLayer layer;
        ASSERT_TRUE(layer.Resize(width, height));
        RmpLayer rmpLayer;
        rmpLayer.width = static_cast<std::uint16_t>(width);
        rmpLayer.height = static_cast<std::uint16_t>(height);
        for (std::size_t i = 0; i < layer.tiles.size(); ++i) {
            layer.tiles[i] = static_cast<std::uint32_t>(i * 2654435761U);
            rmpLayer.cells.push_back(static_cast<std::uint16_t>(layer.tiles[i]));
        }
        map.AppendLayer(std::move(layer));
        map.tileset.AppendBlankTiles(1);
        RmpFile expected;
        expected.layers = {rmpLayer};
        RtsFile tiles = PatternRts(1, 16, 16);
        for (std::size_t i = 0; i < tiles.tiles[0].pixels.size(); ++i) {
            tiles.tiles[0].pixels[i] = i % 4 == 3 ? 255 : 0;
        }
        expected.tileset = tiles.Build();
        if (height == 70001) {
            // Too tall for the format: refused before the file is made.
            MemoryFileSystem files;
            EXPECT_FALSE(map.Save("out.rmp", files));
            EXPECT_FALSE(files.Has("out.rmp"));
            continue;
        }
        EXPECT_EQ(Saved(map), expected.Build()) << width << " x " << height;
    }
}

TEST(RmpWriter, MapsTheFormatCantHoldAreRefusedBeforeTheFileIsMade) {
    std::string reason;
    const auto refused = [&reason](TileMap& map) {
        MemoryFileSystem files;
        Error error;
        const bool saved = map.Save("out.rmp", files, error);
        reason = error.Text();
        return !saved && !files.Has("out.rmp");
    };
    TileMap layers;
    layers.layers.resize(256);
    EXPECT_TRUE(refused(layers));
    EXPECT_EQ(reason, "out.rmp: the RMP format holds at most 255 layers; the map has 256");
    layers.layers.resize(255);
    EXPECT_FALSE(refused(layers));

    const MapEntity entity;
    TileMap entities;
    entities.entities.assign(65536, entity);
    EXPECT_TRUE(refused(entities));
    EXPECT_EQ(reason, "out.rmp: the RMP format holds at most 65535 entities and 65535 zones; the map has 65536 and 0");

    TileMap zones;
    zones.zones.resize(65536);
    EXPECT_TRUE(refused(zones));

    TileMap tiles;
    tiles.tileset.tileWidth = 1;
    tiles.tileset.tileHeight = 1;
    tiles.tileset.AppendBlankTiles(65536);
    EXPECT_TRUE(refused(tiles));
    EXPECT_EQ(reason, "out.rmp: the RMP format holds at most 65535 tiles; the map needs 65536");
}

// A save that fails at any step leaves the old file as it was, and nothing
// beside it.
TEST(RmpWriter, FailedStepsOfTheSaveLeaveTheOldFile) {
    for (const FileOperation operation :
         {FileOperation::CreateTemporary, FileOperation::Write, FileOperation::Close, FileOperation::Rename}) {
        TileMap map;
        map.AppendLayer(MapLayer());
        map.tileset.AppendBlankTiles(1);
        MemoryFileSystem files;
        files.Put("out.rmp", {1, 2, 3});
        files.FailAt(operation, 1);
        Error error;
        EXPECT_FALSE(map.Save("out.rmp", files, error));
        EXPECT_EQ(error.File(), "out.rmp");
        EXPECT_EQ(files.Get("out.rmp"), (Bytes{1, 2, 3}));
        EXPECT_EQ(files.Paths(), std::vector<std::string>{"out.rmp"});
        files.FailAt(operation, 0);
        EXPECT_TRUE(map.Save("out.rmp", files));
        // The tileset's own writes come last.
        if (operation == FileOperation::Write) {
            files.FailAt(operation, 2);
            EXPECT_FALSE(map.Save("out.rmp", files));
        }
        EXPECT_EQ(files.OpenFiles(), 0);
    }
}

TEST(WriteString, LengthThenBytesCutAtZeroAndModulo65536) {
    const auto written = [](std::string_view text) {
        MemoryFileSystem files;
        const auto file = files.Open("s", OpenMode::Write);
        EXPECT_TRUE(WriteString(*file, text));
        return files.Get("s");
    };
    EXPECT_EQ(written(""), (Bytes{0, 0}));
    EXPECT_EQ(written("ab"), (Bytes{2, 0, 'a', 'b'}));
    EXPECT_EQ(written(std::string_view("ab\0cd", 5)), (Bytes{2, 0, 'a', 'b'}));
    const std::string longText = std::string(65536, 'x') + "yz";
    EXPECT_EQ(written(longText), (Bytes{2, 0, 'x', 'x'}));
}

}  // namespace
}  // namespace gridport
