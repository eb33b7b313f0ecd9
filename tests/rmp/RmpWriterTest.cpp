#include <gtest/gtest.h>

#include "base/ByteOrder.h"
#include "rmp/RmpWriter.h"
#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
#include "support/SampleRmp.h"
#include "tileset/RtsWriter.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;
using test::RmpFile;
using test::RmpLayer;
using test::RtsFile;

// One layer of the given fields and cells, through the writer's buffer of
// the given capacity, then an empty tileset.
Bytes Written(const RmpLayerFields& fields, const std::vector<std::uint16_t>& cells, std::uint16_t width,
              std::uint16_t height, std::size_t capacity = 64 * 1024) {
    MemoryFileSystem files;
    auto file = std::move(*files.OpenOutput("out.rmp"));
    RmpWriter writer(*file, capacity);
    writer.Head(-1, 70000, 300, 260, 1, "town.vsp");
    writer.BeginLayer(fields, width, height);
    // In pieces of odd sizes, as a decoder's blocks come.
    for (std::size_t done = 0; done < cells.size();) {
        const std::size_t piece = std::min<std::size_t>(cells.size() - done, 1 + done % 7919);
        std::uint8_t* room = writer.CellRoom(piece);
        for (std::size_t i = 0; i < piece; ++i) {
            StoreU16(room + 2 * i, cells[done + i]);
        }
        writer.CommitCells(piece);
        done += piece;
    }
    WriteRtsHeader(writer.Out(), 0, 16, 16);
    writer.Flush();
    EXPECT_TRUE(file->Commit());
    return files.Get("out.rmp");
}

RmpFile WithLayer(const RmpLayer& layer) {
    RmpFile expected;
    expected.headerX = 0xFFFF;
    expected.headerY = 70000 & 0xFFFF;
    expected.headerLayer = 300 & 0xFF;
    expected.headerMode = 260 & 0xFF;
    expected.linkedFileName = "town.vsp";
    expected.layers = {layer};
    expected.tileset = RtsFile{}.Build();
    return expected;
}

TEST(RmpWriter, HeaderValuesAndLayerFieldsKeepTheirLowBits) {
    const Bytes smallest = Written(RmpLayerFields(), {}, 0, 0);
    EXPECT_EQ(smallest, WithLayer(RmpLayer{}).Build());
    EXPECT_EQ(smallest.size(), 256U + 18 + 8 + 30 + 2 + 256);
    RmpLayerFields layer;
    layer.name = "Layer A";
    layer.showFlag = false;
    layer.factorsEnabled = true;
    layer.auxFlag = true;
    layer.factorX = 0.5F;
    layer.rateY = -2.0F;
    const std::vector<std::uint16_t> cells = {1, 0, 65535, 7, 0x5678, 1};
    EXPECT_EQ(Written(layer, cells, 3, 2),
              WithLayer(RmpLayer{3, 2, 3, 0.5F, 1.0F, 0.0F, -2.0F, 1, "Layer A", cells, {}}).Build());
}

// A whole map through the writer's every record, and its tileset through the RTS writer.
Bytes WrittenWhole(const TileMap& map) {
    MemoryFileSystem files;
    auto file = std::move(*files.OpenOutput("out.rmp"));
    RmpWriter writer(*file, 100);
    const std::array<std::string_view, rmp::kStringCount> strings = {
        "", map.linkedFileName, "", map.textA, map.textB, map.textList[0], map.textList[1], map.textList[2],
        map.textList[3]};
    writer.Head(map.headerX, map.headerY, map.headerLayer, map.headerMode, map.layers.size(), map.entities.size(),
                map.zones.size(), strings);
    for (const MapLayer& layer : map.layers) {
        writer.BeginLayer(layer, layer.width, layer.height, static_cast<std::uint32_t>(layer.segments.size()));
        for (const std::uint32_t cell : layer.tiles) {
            writer.Out().PutU16(cell);
        }
        for (const Segment& segment : layer.segments) {
            writer.LayerSegment(segment.x1, segment.y1, segment.x2, segment.y2);
        }
    }
    for (const MapEntity& entity : map.entities) {
        std::array<std::string_view, rmp::kEntityStringCount> textList;
        std::copy(entity.textList.begin(), entity.textList.end(), textList.begin());
        writer.Entity(entity.x, entity.y, entity.layer, entity.kind, entity.textA, entity.textB, textList);
    }
    for (const MapZone& zone : map.zones) {
        writer.Zone({zone.x1, zone.y1, zone.x2, zone.y2, zone.layer, zone.auxValue}, zone.text);
    }
    const Tileset& tiles = map.tileset;
    WriteRtsHeader(writer.Out(), static_cast<std::uint32_t>(tiles.tiles.size()),
                   static_cast<std::uint32_t>(tiles.tileWidth), static_cast<std::uint32_t>(tiles.tileHeight));
    for (const Tile& tile : tiles.tiles) {
        writer.Out().PutBytes(tile.image.pixels.data(), tile.image.pixels.size());
    }
    for (const Tile& tile : tiles.tiles) {
        WriteRtsInfo(writer.Out(), tile.infoFlag, static_cast<std::uint32_t>(tile.infoValueA),
                     static_cast<std::uint32_t>(tile.infoValueB), static_cast<std::uint32_t>(tile.segments.size()));
        for (const Segment& s : tile.segments) {
            WriteRtsSegment(writer.Out(), static_cast<std::uint32_t>(s.x1), static_cast<std::uint32_t>(s.y1),
                            static_cast<std::uint32_t>(s.x2), static_cast<std::uint32_t>(s.y2));
        }
    }
    writer.Flush();
    EXPECT_TRUE(file->Commit());
    return files.Get("out.rmp");
}

TEST(RmpWriter, EntitiesOfEveryRecordTypeZonesAndSegmentsAsTheReferenceWrites) {
    for (const test::SampleRmp& sample : test::SampleRmpFiles()) {
        if (sample.map) {
            EXPECT_EQ(WrittenWhole(*sample.map), sample.bytes) << sample.name;
        }
    }
    // The smallest records: a kind-2 entity of empty strings, kind 3, kind 1 (record type 0), a zone of values 1 to 6.
    TileMap map;
    map.entities = {MapEntity{1, 2, 3, 2, "", "", {}}, MapEntity{0, 0, 0, 3, "", "", {}}, MapEntity{0, 0, 0, 1, "x", "", {}}};
    map.zones = {MapZone{1, 2, 3, 4, 5, 6, "abc"}};
    const Bytes bytes = WrittenWhole(map);
    EXPECT_EQ(bytes, test::SaveToMemory(map));
    EXPECT_EQ(bytes.size(), 256U + 18 + 48 + 18 + 16 + 21 + 256);
    EXPECT_EQ(Bytes(bytes.end() - 256 - 21, bytes.end() - 256),
              (Bytes{1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 0, 0, 0, 0, 3, 0, 'a', 'b', 'c'}));
}

TEST(RmpWriter, BlockBoundariesDontChangeTheBytes) {
    // Rows wider than the write buffer, and grids that aren't a multiple of it.
    for (const auto& [width, height] : std::vector<std::pair<std::uint16_t, std::uint16_t>>{{40000, 1}, {333, 7}, {1, 65535}}) {
        RmpLayer layer;
        layer.width = width;
        layer.height = height;
        for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
            layer.cells.push_back(static_cast<std::uint16_t>(i * 2654435761U));
        }
        for (const std::size_t capacity : {std::size_t{64}, std::size_t{256 * 1024}}) {
            EXPECT_EQ(Written(RmpLayerFields(), layer.cells, width, height, capacity), WithLayer(layer).Build())
                << width << " x " << height << " in " << capacity;
        }
    }
}

TEST(WriteString, LengthThenBytesCutAtZeroAndModulo65536) {
    const auto written = [](std::string_view text) {
        MemoryFileSystem files;
        auto file = std::move(*files.OpenOutput("s"));
        BufferedWriter out(*file, 16);
        WriteString(out, text);
        out.Flush();
        EXPECT_TRUE(file->Commit());
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
