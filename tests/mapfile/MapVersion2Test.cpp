#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/ByteOrder.h"
#include "mapfile/MapReader.h"
#include "support/Conversion.h"
#include "support/ImportFixture.h"

namespace gridport {
namespace {

using test::Bytes;
using test::ImportFixture;
using test::MapV2File;
using test::MapV2Layer;
using test::PatternRts;

using Cells = std::vector<std::uint32_t>;

// A layer's cells as a decoder hands them on, and whether each block came
// with its largest cell.
struct Collected final : CellSink {
    std::uint8_t* Block() override {
        block.resize(2 * kBlockCells);
        return block.data();
    }
    void Filled(std::size_t count, std::uint16_t largest) override {
        const std::size_t first = cells.size();
        cells.resize(first + count);
        LoadU16s(block.data(), count, cells.data() + first);
        largestRight = largestRight && (count == 0 || largest == *std::max_element(cells.begin() + first, cells.end()));
    }

    std::vector<std::uint8_t> block;
    std::vector<std::uint16_t> cells;
    bool largestRight = true;
};

MapV2Layer Filled(std::uint16_t width, std::uint16_t height, std::uint16_t value) {
    return MapV2Layer{width, height, std::vector<std::uint16_t>(std::size_t{width} * height, value), {}};
}

// N layers of 2 x 1, layer i filled with i + 1.
MapV2File Layers(std::size_t count, std::string order) {
    MapV2File file;
    file.order = std::move(order);
    for (std::size_t i = 0; i < count; ++i) {
        file.layers.push_back(Filled(2, 1, static_cast<std::uint16_t>(i + 1)));
    }
    return file;
}

struct WordsCase {
    std::vector<std::uint16_t> words;
    std::size_t cells;
    Cells expected;
};

void PrintTo(const WordsCase& c, std::ostream* os) {
    *os << std::hex;
    for (const std::uint16_t word : c.words) {
        *os << word << ' ';
    }
    *os << std::dec << "for " << c.cells << " cells";
}

class CompressedCells : public ::testing::TestWithParam<WordsCase> {};

TEST_P(CompressedCells, DecodeIntoTheLayerThenTheNextLayerFollows) {
    MapV2File file;
    file.order = "12";
    MapV2Layer first{static_cast<std::uint16_t>(GetParam().cells), 1, {}, GetParam().words};
    file.layers = {first, MapV2Layer{2, 1, {3, 4}, {}}};
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(file.Build(), 0xFFFF));
    ASSERT_EQ(fixture.map.layers.size(), 2U);
    EXPECT_EQ(fixture.map.layers[0].tiles, GetParam().expected);
    EXPECT_EQ(fixture.map.layers[1].tiles, (Cells{3, 4}));
}

INSTANTIATE_TEST_SUITE_P(
    Words, CompressedCells,
    ::testing::Values(WordsCase{{0x0005}, 1, {5}}, WordsCase{{0x00FF}, 1, {0xFF}}, WordsCase{{0xFEFF}, 1, {0xFEFF}},
                      WordsCase{{0xFF03, 0x0007}, 3, {7, 7, 7}}, WordsCase{{0xFF01, 0x0007, 1}, 2, {7, 1}},
                      WordsCase{{0xFF00, 0x0007, 1}, 2, {7, 1}}, WordsCase{{0xFF02, 0xFFFE}, 2, {0xFFFE, 0xFFFE}},
                      WordsCase{{0xFFFF, 0x002A}, 255, Cells(255, 42)},
                      // A run ending exactly at the last cell, and one crossing it.
                      WordsCase{{1, 0xFF02, 9}, 3, {1, 9, 9}}, WordsCase{{1, 0xFF09, 9}, 3, {1, 9, 9}}));

TEST(MapVersion2, LayersKeepTheirOwnSizes) {
    MapV2File file;
    file.order = "12";
    file.layers = {MapV2Layer{2, 1, {0, 2}, {}}, MapV2Layer{3, 2, {1, 2, 3, 4, 5, 6}, {}}};
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(file.Build(), 7));
    const auto& layers = fixture.map.layers;
    EXPECT_EQ(layers[0].tiles, (Cells{0, 2}));
    EXPECT_EQ(layers[0].width, 2);
    EXPECT_EQ(layers[0].height, 1);
    EXPECT_EQ(layers[1].width, 3);
    EXPECT_EQ(layers[1].height, 2);
    EXPECT_EQ(layers[1].tiles, (Cells{1, 2, 3, 4, 5, 6}));
    // Indices are kept as they are: no transparent tile, 0 is tile 0.
    EXPECT_EQ(fixture.map.tileset.TileCount(), 7);
    EXPECT_EQ(fixture.map.headerMode, 0);
}

struct OrderCase {
    std::string order;
    std::size_t fileLayers;
    std::string names;  // the letters of the map's layers, in order
    std::int32_t headerLayer;  // 0 when no "E" sets it
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << '"' << c.order << "\" over " << c.fileLayers << " layers";
}

class LayerOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(LayerOrder, DecidesLayersAndHeaderLayer) {
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(Layers(GetParam().fileLayers, GetParam().order).Build(), 8));
    std::string names;
    for (const MapLayer& layer : fixture.map.layers) {
        ASSERT_EQ(layer.name.substr(0, 6), "Layer ");
        names += layer.name.substr(6);
        EXPECT_EQ(layer.tiles, Cells(2, static_cast<std::uint32_t>(layer.name[6] - 'A' + 1)));
    }
    EXPECT_EQ(names, GetParam().names);
    EXPECT_EQ(fixture.map.headerLayer, GetParam().headerLayer);
}

INSTANTIATE_TEST_SUITE_P(Texts, LayerOrder,
                         ::testing::Values(OrderCase{"21", 2, "BA", 0}, OrderCase{"112", 2, "AAB", 0},
                                           OrderCase{"1x3e", 3, "AC", 0}, OrderCase{"1E2", 2, "AB", 0},
                                           OrderCase{"2E", 2, "B", 1}, OrderCase{"1E2E", 2, "AB", 1},
                                           OrderCase{"31E", 3, "CA", 0}, OrderCase{"", 3, "", 0},
                                           OrderCase{"no digits", 3, "", 0},
                                           // Digits beyond the file's layers do nothing at all.
                                           OrderCase{"13E", 2, "A", 0}, OrderCase{"E1", 2, "A", 0},
                                           OrderCase{"7E0", 7, "", 0}, OrderCase{"654321E", 6, "FEDCBA", 0},
                                           OrderCase{"3E", 3, "C", 2}, OrderCase{"", 0, "", 0}));

TEST(MapVersion2, CopiesOfOneLayerAreIndependent) {
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(Layers(1, "11").Build(), 2));
    fixture.map.layers[0].tiles[0] = 0;
    EXPECT_EQ(fixture.map.layers[1].tiles, (Cells{1, 1}));
}

TEST(MapVersion2, HeaderTextsRunOnPastTheirFields) {
    MapV2File file = Layers(2, std::string(20, 'E'));
    file.text = std::string(60, 't');
    file.headerX = '2' | ('1' << 8);  // bytes 150 and 151 read as "21"
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(file.Build(), 3));
    EXPECT_EQ(fixture.map.linkedFileName, std::string(60, 't') + std::string(20, 'E') + "21");
    ASSERT_EQ(fixture.map.layers.size(), 2U);
    EXPECT_EQ(fixture.map.layers[0].name, "Layer B");
    EXPECT_EQ(fixture.map.layers[1].name, "Layer A");
    EXPECT_EQ(fixture.map.headerLayer, 0);
    EXPECT_EQ(fixture.map.headerX, 0x3132);
}

struct FailCase {
    const char* what;
    MapV2File file;
    std::string reason;
};

void PrintTo(const FailCase& c, std::ostream* os) {
    *os << c.what;
}

class MapVersion2Failure : public ::testing::TestWithParam<FailCase> {};

TEST_P(MapVersion2Failure, FailsWithItsReasonAndWritesNothing) {
    ImportFixture fixture;
    EXPECT_FALSE(fixture.Import(GetParam().file.Build(), 8));
    ASSERT_TRUE(fixture.error);
    EXPECT_EQ(fixture.error->Text(), GetParam().reason);
    EXPECT_FALSE(fixture.files.Has(test::kOutputPath));
    EXPECT_EQ(fixture.files.OpenFiles(), 0);
}

MapV2File SeventhOutOfRange() {
    MapV2File file = Layers(7, "123456");
    file.layers[6].cells[1] = 8;
    return file;
}

MapV2File UnnamedAtTileCount() {
    MapV2File file = Layers(3, "13");
    file.layers[1].cells[0] = 8;
    return file;
}

MapV2File EightLayers() {
    MapV2File file = Layers(7, "1");
    file.countField = 8;
    return file;
}

MapV2File Huge() {
    MapV2File file = Layers(1, "1");
    file.layers[0].width = 65535;
    file.layers[0].height = 65535;
    return file;
}

INSTANTIATE_TEST_SUITE_P(Cases, MapVersion2Failure,
                         ::testing::Values(
                             FailCase{"seventh layer out of range", SeventhOutOfRange(),
                                      "map.map: layer \"Layer G\" cell (1, 0) holds tile 8; the tileset has 8 tiles"},
                             FailCase{"unnamed layer at the tile count", UnnamedAtTileCount(),
                                      "map.map: layer \"Layer B\" cell (0, 0) holds tile 8; the tileset has 8 tiles"},
                             FailCase{"more than seven layers", EightLayers(),
                                      "map.map: byte 205: the header counts 8 layers; a version-2 map holds at most 7"},
                             FailCase{"layer larger than the file can hold", Huge(),
                                      "map.map: byte 218: the shortest encoding of 1 layer needs 67369984 bytes, 8 "
                                      "are left"}));

// The decoder takes items straight from the reader's 64 KiB buffer while a
// whole item is there. The layer's words start at file offset 222, so word
// 32656 holds the buffer's last two bytes: a run marker there has its value
// in the next fill. The grid grows in blocks of 65536 cells, which the run at
// cell 65500 crosses, and the last run is cut at the layer's end.
class BoundaryRun : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BoundaryRun, DecodesLikeAnyOtherRun) {
    const std::size_t markerWord = GetParam();
    constexpr std::size_t kCells = 70000;
    std::vector<std::uint16_t> words;
    Cells expected;
    const auto singles = [&](std::size_t upTo) {
        while (expected.size() < upTo) {
            const auto value = static_cast<std::uint16_t>(expected.size() % 997);
            words.push_back(value);
            expected.push_back(value);
        }
    };
    const auto run = [&](std::uint16_t length, std::uint16_t value, std::size_t cells) {
        words.push_back(static_cast<std::uint16_t>(0xFF00 | length));
        words.push_back(value);
        expected.insert(expected.end(), cells, value);
    };
    singles(markerWord);
    run(200, 777, 200);
    singles(65500);
    run(255, 888, 255);
    singles(kCells - 2);
    run(9, 999, 2);
    MapV2File file;
    file.order = "1";
    file.layers = {MapV2Layer{1000, 70, {}, words}};
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(file.Build(), 1000));
    EXPECT_EQ(fixture.map.layers[0].tiles, expected);
}

INSTANTIATE_TEST_SUITE_P(MarkerWords, BoundaryRun, ::testing::Values(32654, 32655, 32656, 32657));

// Random encodings of two layers, each long enough to cross the reader's
// buffer and the decoder's block several times, with stretches of single
// cells of every length beside runs of every count. In the second layer,
// run values may look like run markers. Every layer must stream as a plain
// reading of its words, item by item, gives it, each block with its largest
// cell.
TEST(MapVersion2, RandomEncodingsStreamAsTheirItemsSay) {
    std::mt19937 random(15);
    const auto below = [&random](std::uint32_t bound) { return static_cast<std::uint16_t>(random() % bound); };
    constexpr std::uint16_t kWidth = 1000;
    constexpr std::uint16_t kHeight = 150;
    for (int round = 0; round < 4; ++round) {
        MapV2File file;
        file.order = "12";
        std::vector<std::vector<std::uint16_t>> expected;
        for (int layer = 0; layer < 2; ++layer) {
            std::vector<std::uint16_t> words;
            std::vector<std::uint16_t> cells;
            constexpr std::size_t kCells = std::size_t{kWidth} * kHeight;
            while (cells.size() < kCells) {
                if (below(4) == 0) {
                    const std::uint16_t count = below(256);
                    // In the first layer, a block's largest cell is a single one.
                    const std::uint16_t value = layer == 1 && below(3) == 0 ? 0xFF00 | below(256) : below(1000);
                    words.insert(words.end(), {static_cast<std::uint16_t>(0xFF00 | count), value});
                    cells.insert(cells.end(), std::max<std::size_t>(count, 1), value);
                } else {
                    for (std::uint16_t k = below(40 << (2 * round)); k > 0 && cells.size() < kCells; --k) {
                        // Now and then any word short of a marker, so that a
                        // block's largest cell may be anywhere in it.
                        words.push_back(below(500) == 0 ? below(0xFF00) : below(1000));
                        cells.push_back(words.back());
                    }
                }
            }
            cells.resize(kCells);  // the last run is cut at the layer's end
            file.layers.push_back(MapV2Layer{kWidth, kHeight, {}, words});
            expected.push_back(cells);
        }
        test::MemoryFileSystem files;
        files.Put("map.map", file.Build());
        const auto opened = std::move(*files.Open("map.map", OpenMode::Read));
        MapReader reader(*opened, "map.map");
        ASSERT_TRUE(reader.ReadHeader());
        for (std::size_t layer = 0; layer < expected.size(); ++layer) {
            Collected cells;
            ASSERT_TRUE(reader.Decode(layer, cells));
            EXPECT_TRUE(cells.cells == expected[layer]) << "round " << round << ", layer " << layer;
            // The tile check rests on each block's largest cell.
            EXPECT_TRUE(cells.largestRight) << "round " << round << ", layer " << layer;
        }
    }
}

TEST(MapVersion2, NoLayersNeedsATileAll) {
    ImportFixture fixture;
    EXPECT_FALSE(fixture.Import(Layers(0, "").Build(), 0));
    ASSERT_TRUE(fixture.error);
    EXPECT_EQ(fixture.error->Text(), "tiles.vsp: the tileset has no tiles");
    EXPECT_TRUE(fixture.Import(Layers(0, "").Build(), PatternRts(1, 8, 8).Build(), "tiles.rts"));
    EXPECT_TRUE(fixture.map.layers.empty());
}

TEST(MapVersion2, EveryTruncatedFileFails) {
    MapV2File file;
    file.order = "12";
    file.layers = {MapV2Layer{4, 1, {1, 1, 1, 2}, {}}, MapV2Layer{0, 3, {}, {}}, MapV2Layer{1, 2, {3, 4}, {}}};
    const Bytes whole = file.Build();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        ImportFixture fixture;
        EXPECT_FALSE(fixture.Import(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)), 5))
            << size;
        ASSERT_TRUE(fixture.error) << size;
        EXPECT_EQ(fixture.error->Path(), "map.map") << size;
    }
    // Inside the last layer's cells: the third layer's first cell is there,
    // its second is not.
    ImportFixture cut;
    EXPECT_FALSE(cut.Import(Bytes(whole.begin(), whole.end() - 2), 5));
    ASSERT_TRUE(cut.error);
    EXPECT_EQ(cut.error->Text(), "map.map: byte " + std::to_string(whole.size() - 2) +
                                    ": layer \"Layer C\" ends after 1 of its 2 cells");
    ImportFixture fixture;
    EXPECT_TRUE(fixture.Import(whole, 5));
}

// The description and the cell streams that mapview builds on: every file
// layer, the order text's picks, and cells as the file stores them, in any
// order, each as often as asked, and through readers of their own side by
// side.
TEST(MapReader, DescribesBothVersionsAndStreamsEveryFileLayer) {
    const test::MapV2File harbour = test::HarbourMap();
    const test::MapV1File town = test::TownMap();
    for (const bool version2 : {true, false}) {
        test::MemoryFileSystem files;
        files.Put("map.map", version2 ? harbour.Build() : town.Build());
        const auto file = std::move(*files.Open("map.map", OpenMode::Read));
        MapReader reader(*file, "map.map");
        ASSERT_TRUE(reader.ReadHeader());
        const MapDescription& description = reader.Description();
        const std::vector<std::vector<std::uint16_t>> stored =
            version2 ? std::vector<std::vector<std::uint16_t>>{harbour.layers[0].cells, {3, 2, 2, 2},
                                                               harbour.layers[2].cells, {}}
                     : std::vector<std::vector<std::uint16_t>>{town.background, town.foreground};
        ASSERT_EQ(description.fileLayers.size(), stored.size());
        EXPECT_EQ(description.outputLayers, version2 ? (std::vector<std::size_t>{1, 2, 0, 2})
                                                     : (std::vector<std::size_t>{0, 1}));
        EXPECT_EQ(description.headerLayer, std::optional<std::int32_t>(version2 ? 0 : 1));
        EXPECT_EQ(description.layerOrder, version2 ? "2x31E3" : "");
        for (const std::size_t i : {stored.size() - 1, std::size_t{0}, stored.size() - 1}) {
            Collected cells;
            ASSERT_TRUE(reader.Decode(i, cells));
            EXPECT_EQ(cells.cells, stored[i]) << i;
        }
        // Every layer's own reader, a block at a time, taking turns.
        std::vector<std::unique_ptr<BufferedReader>> readers;
        std::vector<LayerDecoder> decoders;
        std::vector<Collected> cells(stored.size());
        for (std::size_t i = 0; i < stored.size(); ++i) {
            Expected<std::unique_ptr<BufferedReader>> in = reader.OpenLayer(i);
            ASSERT_TRUE(in);
            readers.push_back(std::move(*in));
            decoders.emplace_back(*readers.back(), description.fileLayers[i], description.version);
        }
        for (bool more = true; more;) {
            more = false;
            for (std::size_t i = 0; i < stored.size(); ++i) {
                if (!decoders[i].Done()) {
                    ASSERT_TRUE(decoders[i].Next(cells[i]));
                    more = true;
                }
            }
        }
        for (std::size_t i = 0; i < stored.size(); ++i) {
            EXPECT_EQ(cells[i].cells, stored[i]) << i;
        }
        Collected none;
        const Expected<void> beyond = reader.Decode(stored.size(), none);
        ASSERT_FALSE(beyond);
        EXPECT_EQ(beyond.error().Text(), "map.map: there is no file layer " + std::to_string(stored.size()) +
                                             "; the map has " + std::to_string(stored.size()) + " file layers");
    }
}

// A stream that can't seek (standard input from a pipe) reads each layer
// once, in file order; a layer asked for again is refused with a reason, and
// one cut short says where, as a file would.
TEST(MapReader, AStreamThatCantSeekReadsItsLayersOnceInFileOrder) {
    const test::MapV2File harbour = test::HarbourMap();
    test::PipeFile pipe(harbour.Build());
    MapReader reader(pipe, "-");
    ASSERT_TRUE(reader.ReadHeader());
    for (std::size_t i = 0; i < harbour.layers.size(); ++i) {
        Collected cells;
        ASSERT_TRUE(reader.Decode(i, cells));
    }
    Collected again;
    const Expected<void> back = reader.Decode(0, again);
    ASSERT_FALSE(back);
    EXPECT_EQ(back.error().Text(), "-: byte 254: cannot go back to layer \"Layer A\" in a stream that can't seek");
    // A stream's end is known only once a read reaches it: past the first
    // fill of the reader's buffer, the layers' size can't be checked ahead.
    test::MapV1File large;
    large.width = 200;
    large.height = 200;
    large.background.assign(40000, 1);
    large.foreground.assign(40000, 2);
    const Bytes whole = large.Build();
    for (const std::size_t cut : {std::size_t{1}, std::size_t{2}, std::size_t{80001}}) {
        test::PipeFile shorter(Bytes(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut)));
        MapReader map(shorter, "-");
        ASSERT_TRUE(map.ReadHeader());
        Collected first;
        Collected second;
        Expected<void> read = map.Decode(0, first);
        if (read) {
            read = map.Decode(1, second);
        }
        ASSERT_FALSE(read) << cut;
        const std::size_t kept = (whole.size() - cut - 100) / 2;
        const std::string layer = kept < 40000 ? "Background" : "Foreground";
        EXPECT_EQ(read.error().Text(), "-: byte " + std::to_string(100 + 2 * kept) + ": layer \"" + layer +
                                           "\" ends after " + std::to_string(kept % 40000) + " of its 40000 cells")
            << cut;
    }
}

}  // namespace
}  // namespace gridport
