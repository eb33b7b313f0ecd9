#include <gtest/gtest.h>

#include "base/ByteOrder.h"
#include "rmp/RmpWriter.h"
#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
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
