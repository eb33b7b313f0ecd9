#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/Files.h"
#include "support/MemoryFileSystem.h"
#include "support/SampleRmp.h"
#include "support/RmpDocument.h"
#include "support/Conversion.h"

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

Expected<RmpDocument> ReadBytes(const Bytes& bytes) {
    return test::ReadInMemory("in.rmp", bytes, [](BufferedReader& in) { return ReadRmp(in); });
}

std::int32_t Low(std::int32_t value, std::uint32_t mask) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & mask);
}

void ExpectSegments(const SegmentList& read, const SegmentList& saved, std::uint32_t mask) {
    ASSERT_EQ(read.size(), saved.size());
    for (std::size_t k = 0; k < saved.size(); ++k) {
        const Segment& s = saved[k];
        EXPECT_EQ(read[k], (Segment{Low(s.x1, mask), Low(s.y1, mask), Low(s.x2, mask), Low(s.y2, mask)}));
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
        EXPECT_EQ(a.factorsEnabled, b.factorsEnabled);
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

// Read back and written again by the byte builders, every sample is the
// same file; the one made from a map in memory reads back as that map.
TEST(RmpReader, ReadsEverySampleBackAsSaved) {
    for (const auto& sample : SampleRmpFiles()) {
        SCOPED_TRACE(sample.name);
        ASSERT_FALSE(sample.bytes.empty());
        const Expected<RmpDocument> document = ReadBytes(sample.bytes);
        ASSERT_TRUE(document) << document.error().Text();
        EXPECT_EQ(test::SaveToMemory(document->map), sample.bytes);
        if (sample.map != nullptr) {
            ExpectReadAsSaved(document->map, *sample.map);
        }
    }
}

TEST(RmpReader, ReadsEveryConvertedExampleBack) {
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
        Bytes rmp;
        ASSERT_EQ(test::Convert(test::ReadDiskFile(entry.path().string()), test::ReadDiskFile(tiles.string()),
                                tiles.filename().string(), &rmp),
                  test::ConversionOutcome::Converted);
        const Expected<RmpDocument> document = ReadBytes(rmp);
        ASSERT_TRUE(document) << document.error().Text();
        EXPECT_EQ(test::SaveToMemory(document->map), rmp);
        ++converted;
    }
    EXPECT_EQ(converted, 3);
}

TEST(RmpReader, EveryTruncationFailsNamingTheFileAndWhereItStopped) {
    const Bytes whole = SampleRmpFiles()[1].bytes;
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const Expected<RmpDocument> document =
            ReadBytes(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
        ASSERT_FALSE(document);
        const std::string error = document.error().Text();
        const std::string prefix = "in.rmp: byte ";
        ASSERT_EQ(error.rfind(prefix, 0), 0U) << error;
        EXPECT_LE(std::stoull(error.substr(prefix.size())), size) << error;
        // "the list of 2 layers needs 64 bytes", "tile 0 needs 4096 bytes of pixels"
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
    const Expected<RmpDocument> document = ReadBytes(GetParam().bytes());
    ASSERT_FALSE(document);
    EXPECT_EQ(document.error().Text(), "in.rmp: byte " + std::to_string(GetParam().offset) + ": " + GetParam().reason);
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
                  "the list of 200 layers needs 6400 bytes, 288 are left"},
        Rejection{"more entities than bytes", [] { return WithRecords({}, 65535); }, 274,
                  "the list of 65535 entities needs 1048560 bytes, 256 are left"},
        Rejection{"more zones than bytes",
                  [] {
                      RmpFile file;
                      file.zoneCount = 65535;
                      file.tileset = RtsFile{}.Build();
                      return file.Build();
                  },
                  274, "the list of 65535 zones needs 1179630 bytes, 256 are left"},
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
                  "the segment list of layer 0 (4294967295 segments) needs 68719476720 bytes, 256 are left"},
        Rejection{"layer grid", [] { return Patched(274, {0xFF, 0xFF, 0xFF, 0xFF}); }, 274 + 32,
                  "the 65535 x 65535 grid of layer 0 needs 8589672450 bytes, 256 are left"}));

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
        const Expected<RmpDocument> document = ReadBytes(WithRecords({}, 0, tiles.Build()));
        ASSERT_TRUE(document) << document.error().Text();
        EXPECT_EQ(document->map.tileset.TileCount(), 3);
        EXPECT_EQ(document->map.tileset.tiles[2].segments.size(), flag);
    }
}

TEST(RmpReader, ReportsFilesItCannotReadOrTellTheSizeOf) {
    MemoryFileSystem files;
    files.Put("in.rmp", SampleRmpFiles()[0].bytes);
    const auto file = std::move(*files.Open("in.rmp", OpenMode::Read));
    files.FailAt(FileOperation::Read, 1);
    BufferedReader in(*file, "in.rmp");
    const Expected<RmpDocument> unread = ReadRmp(in);
    ASSERT_FALSE(unread);
    EXPECT_EQ(unread.error().Text(), "in.rmp: byte 0: cannot read the 256-byte header: Input/output error");
    // A stream that can't tell its size can't have its counts checked.
    files.FailAt(FileOperation::Size, 1);
    ASSERT_TRUE(file->Seek(0));
    BufferedReader unsized(*file, "in.rmp");
    const Expected<RmpDocument> refused = ReadRmp(unsized);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().Path(), "in.rmp");
}

}  // namespace
}  // namespace gridport
