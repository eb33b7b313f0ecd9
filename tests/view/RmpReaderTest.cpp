#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "filesystem/DefaultFileSystem.h"
#include "support/MemoryFileSystem.h"
#include "support/SampleRmp.h"
#include "view/RmpReader.h"

namespace gridport {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::FileOperation;
using test::MemoryFileSystem;
using test::RmpFile;
using test::RtsFile;
using test::RtsTile;
using test::SampleRmpFiles;

std::unique_ptr<RmpDocument> ReadBytes(const Bytes& bytes, std::string& error) {
    MemoryFileSystem files;
    files.Put("in.rmp", bytes);
    return ReadRmp("in.rmp", files, error);
}

std::int32_t Low(std::int32_t value, std::uint32_t mask) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & mask);
}

void ExpectSegments(const SegmentList& read, const SegmentList& saved, std::uint32_t mask) {
    ASSERT_EQ(read.Count(), saved.Count());
    for (std::int32_t k = 0; k < saved.Count(); ++k) {
        const Segment& s = saved.At(k);
        EXPECT_EQ(read.At(k), (Segment{Low(s.x1, mask), Low(s.y1, mask), Low(s.x2, mask), Low(s.y2, mask)}));
    }
}

// What the file keeps of each field: 16 or 8 bits of header and record
// values, 16-bit cells, full layer segments, 16-bit tileset values.
void ExpectReadAsSaved(const TileMap& read, const TileMap& saved) {
    EXPECT_EQ(read.headerX, Low(saved.headerX, 0xFFFF));
    EXPECT_EQ(read.headerY, Low(saved.headerY, 0xFFFF));
    EXPECT_EQ(read.headerLayer, Low(saved.headerLayer, 0xFF));
    EXPECT_EQ(read.headerMode, Low(saved.headerMode, 0xFF));
    EXPECT_EQ(read.linkedFileName, saved.linkedFileName);
    EXPECT_EQ(read.textA, saved.textA);
    EXPECT_EQ(read.textB, saved.textB);
    EXPECT_EQ(read.textList, saved.textList);
    ASSERT_EQ(read.layers.size(), saved.layers.size());
    for (std::size_t i = 0; i < saved.layers.size(); ++i) {
        const MapLayer& a = read.layers[i];
        const MapLayer& b = saved.layers[i];
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.width, b.width);
        EXPECT_EQ(a.height, b.height);
        ASSERT_EQ(a.tiles.size(), b.tiles.size());
        for (std::size_t c = 0; c < b.tiles.size(); ++c) {
            EXPECT_EQ(a.tiles[c], b.tiles[c] & 0xFFFFU) << "layer " << i << " cell " << c;
        }
        // The header layer is written with its factors off.
        EXPECT_EQ(a.factorsEnabled, b.factorsEnabled && static_cast<std::int32_t>(i) != saved.headerLayer);
        EXPECT_EQ(a.factorX, b.factorX);
        EXPECT_EQ(a.factorY, b.factorY);
        EXPECT_EQ(a.rateX, b.rateX);
        EXPECT_EQ(a.rateY, b.rateY);
        EXPECT_EQ(a.showFlag, b.showFlag);
        EXPECT_EQ(a.auxFlag, b.auxFlag);
        ExpectSegments(a.segments, b.segments, 0xFFFFFFFFU);
    }
    ASSERT_EQ(read.entities.size(), saved.entities.size());
    for (std::size_t i = 0; i < saved.entities.size(); ++i) {
        const MapEntity& a = read.entities[i];
        const MapEntity& b = saved.entities[i];
        const bool full = b.kind == 2;
        const bool textOnly = b.kind == 3;
        EXPECT_EQ(std::vector<std::int32_t>({a.x, a.y, a.layer, a.kind}),
                  std::vector<std::int32_t>({Low(b.x, 0xFFFF), Low(b.y, 0xFFFF), Low(b.layer, 0xFFFF),
                                             full || textOnly ? b.kind : 0}));
        EXPECT_EQ(a.textA, full || textOnly ? b.textA : "");
        EXPECT_EQ(a.textB, full ? b.textB : "");
        EXPECT_EQ(a.textList, full ? b.textList : decltype(b.textList){});
    }
    ASSERT_EQ(read.zones.size(), saved.zones.size());
    for (std::size_t i = 0; i < saved.zones.size(); ++i) {
        const MapZone& a = read.zones[i];
        const MapZone& b = saved.zones[i];
        EXPECT_EQ(std::vector<std::int32_t>({a.x1, a.y1, a.x2, a.y2, a.layer, a.auxValue}),
                  std::vector<std::int32_t>({Low(b.x1, 0xFFFF), Low(b.y1, 0xFFFF), Low(b.x2, 0xFFFF),
                                             Low(b.y2, 0xFFFF), Low(b.layer, 0xFFFF), Low(b.auxValue, 0xFFFF)}));
        EXPECT_EQ(a.text, b.text);
    }
    EXPECT_EQ(read.tileset.tileWidth, saved.tileset.tileWidth);
    EXPECT_EQ(read.tileset.tileHeight, saved.tileset.tileHeight);
    ASSERT_EQ(read.tileset.TileCount(), saved.tileset.TileCount());
    for (std::size_t t = 0; t < saved.tileset.tiles.size(); ++t) {
        const Tile& a = read.tileset.tiles[t];
        const Tile& b = saved.tileset.tiles[t];
        EXPECT_EQ(a.image.pixels, b.image.pixels) << "tile " << t;
        EXPECT_EQ(a.infoFlag, b.infoFlag);
        EXPECT_EQ(a.infoValueA, Low(b.infoValueA, 0xFFFF));
        EXPECT_EQ(a.infoValueB, Low(b.infoValueB, 0xFFFF));
        ExpectSegments(a.segments, b.segments, 0xFFFF);
    }
}

TEST(RmpReader, ReadsEverySampleBackAsSaved) {
    for (const auto& sample : SampleRmpFiles()) {
        SCOPED_TRACE(sample.name);
        ASSERT_FALSE(sample.bytes.empty());
        std::string error;
        const auto document = ReadBytes(sample.bytes, error);
        ASSERT_NE(document, nullptr) << error;
        EXPECT_EQ(error, "");
        ExpectReadAsSaved(document->map, *sample.map);
    }
}

TEST(RmpReader, ReadsEveryConvertedExampleBackAsSaved) {
    int converted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(GRIDPORT_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".map") {
            continue;
        }
        std::filesystem::path tiles = entry.path();
        tiles.replace_extension(".vsp");
        if (!std::filesystem::exists(tiles)) {
            tiles.replace_extension(".rts");
        }
        SCOPED_TRACE(entry.path().string());
        TileMap map;
        ASSERT_TRUE(map.ImportMap(entry.path().string(), tiles.string(), defaultFileSystem));
        std::string error;
        const auto document = ReadBytes(test::SaveToMemory(map), error);
        ASSERT_NE(document, nullptr) << error;
        ExpectReadAsSaved(document->map, map);
        ++converted;
    }
    EXPECT_EQ(converted, 3);
}

TEST(RmpReader, EveryTruncationFailsNamingTheFileAndWhereItStopped) {
    const Bytes whole = SampleRmpFiles()[1].bytes;
    for (std::size_t size = 0; size < whole.size(); ++size) {
        std::string error;
        ASSERT_EQ(ReadBytes(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)), error), nullptr);
        const std::string prefix = "in.rmp: stopped at byte ";
        ASSERT_EQ(error.rfind(prefix, 0), 0U) << error;
        EXPECT_LE(std::stoull(error.substr(prefix.size())), size) << error;
        // "the file ends inside ...: it needs 6400 bytes", "tile 0 needs 4096 bytes of pixels"
        EXPECT_NE(error.find(" needs "), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// Maps whose records start at byte 274, after the header and nine empty
// strings.
struct Rejection {
    const char* name;
    std::function<Bytes()> bytes;
    std::uint64_t offset;
    const char* reason;
};

void PrintTo(const Rejection& rejection, std::ostream* os) { *os << rejection.name; }

Bytes WithRecords(Bytes entities, std::uint16_t entityCount, Bytes tileset = RtsFile{}.Build()) {
    RmpFile file;
    file.entityCount = entityCount;
    file.entityRecords = std::move(entities);
    file.tileset = std::move(tileset);
    return file.Build();
}

// One empty layer and an empty tileset, with some bytes overwritten.
Bytes Patched(std::size_t at, std::initializer_list<std::uint8_t> values) {
    RmpFile file;
    file.layers.resize(1);
    file.tileset = RtsFile{}.Build();
    Bytes bytes = file.Build();
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

Bytes Tileset(const std::function<void(RtsFile&)>& change) {
    RtsFile tiles;
    change(tiles);
    return WithRecords({}, 0, tiles.Build());
}

Bytes EntityHeader(std::uint16_t type) {
    return ByteBuilder().U16(1).U16(2).U16(3).U16(type).Zeros(8).bytes;
}

class RmpRejection : public ::testing::TestWithParam<Rejection> {};

TEST_P(RmpRejection, FailsWithItsOffsetAndReason) {
    std::string error;
    EXPECT_EQ(ReadBytes(GetParam().bytes(), error), nullptr);
    EXPECT_EQ(error, "in.rmp: stopped at byte " + std::to_string(GetParam().offset) + ": " + GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RmpRejection,
    ::testing::Values(
        Rejection{"signature", [] { return Patched(3, {'P'}); }, 0,
                  "not an RMP map file: it does not start with \".rmp\""},
        Rejection{"version", [] { return Patched(4, {2, 0}); }, 4, "unknown RMP version 2 (only version 1 is known)"},
        Rejection{"string count", [] { return Patched(17, {8, 0}); }, 17,
                  "the header announces 8 strings; an RMP file has 9"},
        Rejection{"trailing bytes",
                  [] {
                      Bytes bytes = WithRecords({}, 0);
                      bytes.insert(bytes.end(), {0, 0, 0});
                      return bytes;
                  },
                  274 + 256, "3 bytes follow the end of the tileset"},
        Rejection{"more layers than bytes", [] { return Patched(7, {200}); }, 274,
                  "the file ends inside the header's 200 layers: it needs 6400 bytes, 288 remain"},
        Rejection{"more entities than bytes", [] { return WithRecords({}, 65535); }, 274,
                  "the file ends inside the header's 65535 entities: it needs 1048560 bytes, 256 remain"},
        Rejection{"unknown entity record type", [] { return WithRecords(EntityHeader(3), 1); }, 280,
                  "entity 0 has the unknown record type 3"},
        Rejection{"entity string count", [] { return WithRecords(ByteBuilder().Raw(EntityHeader(1)).String("a")
                                                                     .String("").U16(4).Zeros(32).bytes, 1); },
                  295, "entity 0 announces 4 strings, not 5"},
        Rejection{"tileset signature", [] { return Tileset([](RtsFile& tiles) { tiles.signature[3] = 'x'; }); },
                  274, "not an RTS tileset file: it does not start with \".rts\""},
        Rejection{"tileset bits per pixel", [] { return Tileset([](RtsFile& tiles) { tiles.bitsPerPixel = 24; }); },
                  286, "the header field bits per pixel is 24; it must be 32"},
        Rejection{"layer segments", [] { return Patched(274 + 22, {0xFF, 0xFF, 0xFF, 0xFF}); }, 274 + 32,
                  "the file ends inside the 4294967295 segments of layer 0: it needs 68719476720 bytes, 256 "
                  "remain"},
        Rejection{"layer grid", [] { return Patched(274, {0xFF, 0xFF, 0xFF, 0xFF}); }, 274 + 32,
                  "the file ends inside the 65535 x 65535 grid of layer 0: it needs 8589672450 bytes, 256 remain"}));

TEST(RmpReader, AcceptsEveryTilesetFormTheRtsLoaderReads) {
    RtsFile tiles;
    tiles.tileWidth = 2;
    tiles.tileHeight = 2;
    tiles.tiles.resize(3, RtsTile{Bytes(16, 7), 1, 2, 3, 2, {}, {}});
    tiles.tiles[0].segmentType = 1;
    tiles.tiles[0].typeOneData = Bytes(4, 9);
    tiles.tiles[1].segmentType = 5;
    tiles.tiles[2].segments = {{1, 2, 3, 4}};
    for (const std::uint8_t flag : {1, 0}) {
        tiles.segmentFlag = flag;
        if (flag == 0) {
            tiles.tiles[0].typeOneData.clear();
            tiles.tiles[2].segments.clear();
        }
        std::string error;
        const auto document = ReadBytes(WithRecords({}, 0, tiles.Build()), error);
        ASSERT_NE(document, nullptr) << error;
        EXPECT_EQ(document->map.tileset.TileCount(), 3);
        EXPECT_EQ(document->map.tileset.tiles[2].segments.Count(), flag);
    }
}

TEST(RmpReader, ReportsFilesItCannotOpenOrRead) {
    MemoryFileSystem files;
    files.Put("in.rmp", SampleRmpFiles()[0].bytes);
    std::string error;
    EXPECT_EQ(ReadRmp("other.rmp", files, error), nullptr);
    EXPECT_EQ(error, "other.rmp: cannot open: No such file or directory");
    files.FailAt(FileOperation::Read, 1);
    EXPECT_EQ(ReadRmp("in.rmp", files, error), nullptr);
    EXPECT_EQ(error, "in.rmp: stopped at byte 0: cannot read the 256-byte header");
    EXPECT_EQ(files.OpenFiles(), 0);
}

}  // namespace
}  // namespace gridport
