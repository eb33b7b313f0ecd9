#include <gtest/gtest.h>

#include "filesystem/BufferedWriter.h"
#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
#include "tileset/RtsWriter.h"
#include "support/Tileset.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;
using test::PatternRts;
using test::RtsFile;
using test::RtsTile;

// A tileset through the RTS writer's records, as the conversion writes them.
Bytes Saved(const Tileset& tileset) {
    MemoryFileSystem files;
    auto file = std::move(*files.OpenOutput("out.rts"));
    BufferedWriter out(*file, 64);
    WriteRtsHeader(out, static_cast<std::uint32_t>(tileset.tiles.size()), static_cast<std::uint32_t>(tileset.tileWidth),
                   static_cast<std::uint32_t>(tileset.tileHeight));
    for (const Tile& tile : tileset.tiles) {
        out.PutBytes(tile.image.pixels.data(), tile.image.pixels.size());
    }
    for (const Tile& tile : tileset.tiles) {
        WriteRtsInfo(out, tile.infoFlag, static_cast<std::uint32_t>(tile.infoValueA),
                     static_cast<std::uint32_t>(tile.infoValueB), static_cast<std::uint32_t>(tile.segments.size()));
        for (std::size_t k = 0; k < tile.segments.size(); ++k) {
            const Segment& segment = tile.segments[k];
            WriteRtsSegment(out, static_cast<std::uint32_t>(segment.x1), static_cast<std::uint32_t>(segment.y1),
                            static_cast<std::uint32_t>(segment.x2), static_cast<std::uint32_t>(segment.y2));
        }
    }
    out.Flush();
    EXPECT_TRUE(file->Commit());
    return files.Get("out.rts");
}

Expected<Tileset> LoadBytes(const Bytes& bytes, std::size_t at = 0) {
    MemoryFileSystem files;
    files.Put("in.rts", bytes);
    const auto file = std::move(*files.Open("in.rts", OpenMode::Read));
    EXPECT_TRUE(file->Seek(at));
    BufferedReader in(*file, "in.rts");
    return LoadTileset(in, TilesetKind::Rts);
}

// A tileset of count opaque black tiles of the given size.
Tileset Blank(std::size_t count, std::int32_t width = 16, std::int32_t height = 16) {
    Tileset tileset;
    tileset.tileWidth = width;
    tileset.tileHeight = height;
    tileset.tiles.assign(count, Tile{RgbaImage(width, height), false, 0, 0, {}});
    return tileset;
}

TEST(RtsFile, SavedSizesFollowTheLayout) {
    Tileset tileset;
    EXPECT_EQ(Saved(tileset), RtsFile{}.Build());
    EXPECT_EQ(Saved(tileset).size(), 256U);
    tileset = Blank(1);
    EXPECT_EQ(Saved(tileset).size(), 1312U);
    tileset = Blank(2);
    tileset.tiles[0].segments.push_back(Segment{1, 2, 3, 4});
    tileset.tiles[1].segments.push_back(Segment{5, 6, 7, 8});
    tileset.tiles[1].segments.push_back(Segment{9, 10, 11, 12});
    EXPECT_EQ(Saved(tileset).size(), 2392U);
}

TEST(RtsFile, SavesExactlyTheBytesOfTheFormat) {
    RtsFile expected = PatternRts(3, 7, 3);
    expected.tiles[0].infoFlag = 1;
    expected.tiles[1].infoValueA = 65535;
    expected.tiles[2].infoValueB = 4464;
    expected.tiles[2].segments = {{65535, 0, 4464, 5}, {1, 2, 3, 4}};
    Expected<Tileset> loaded = LoadBytes(expected.Build());
    ASSERT_TRUE(loaded);
    Tileset& tileset = *loaded;
    EXPECT_EQ(tileset.tileWidth, 7);
    EXPECT_EQ(tileset.tileHeight, 3);
    EXPECT_EQ(Saved(tileset), expected.Build());

    // Values beyond 16 bits keep their low 16 bits; -1 comes back as 65535.
    tileset.tiles[0].infoValueA = -1;
    tileset.tiles[0].segments.push_back(Segment{-1, 0, 70000, 5});
    Expected<Tileset> again = LoadBytes(Saved(tileset));
    ASSERT_TRUE(again);
    const Tileset& reloaded = *again;
    EXPECT_EQ(reloaded.tiles[0].infoValueA, 65535);
    EXPECT_EQ(reloaded.tiles[0].segments[0], (Segment{65535, 0, 4464, 5}));
    EXPECT_EQ(Saved(reloaded), Saved(tileset));
}

TEST(RtsFile, ReadsSegmentTypesAndAFileWithoutSegmentData) {
    RtsFile file = PatternRts(4, 16, 16);
    file.tiles[0].segmentType = 0;
    file.tiles[1].segmentType = 1;
    file.tiles[1].typeOneData = Bytes(256, 0xAB);
    file.tiles[2].segments = {{1, 2, 3, 4}};
    file.tiles[3].segmentType = 9;
    file.tiles[3].infoFlag = 200;
    Expected<Tileset> loaded = LoadBytes(file.Build());
    ASSERT_TRUE(loaded);
    const Tileset& tileset = *loaded;
    EXPECT_EQ(tileset.tiles[0].segments.size(), 0);
    EXPECT_EQ(tileset.tiles[1].segments.size(), 0);
    EXPECT_EQ(tileset.tiles[2].segments[0], (Segment{1, 2, 3, 4}));
    EXPECT_TRUE(tileset.tiles[3].infoFlag);

    // Flag 0: the information blocks follow each other, their segment fields ignored.
    RtsFile flat = PatternRts(2, 16, 16);
    flat.segmentFlag = 0;
    flat.tiles[0].segments = {{1, 1, 1, 1}};
    flat.tiles[1].infoValueB = 77;
    Expected<Tileset> flatLoaded = LoadBytes(flat.Build());
    ASSERT_TRUE(flatLoaded);
    EXPECT_EQ(flatLoaded->tiles[0].segments.size(), 0);
    EXPECT_EQ(flatLoaded->tiles[1].infoValueB, 77);
}

TEST(RtsFile, LoadsFromTheCurrentPositionOfAnOpenFile) {
    Bytes bytes(50, 0xEE);
    const Bytes rts = PatternRts(2, 32, 8).Build();
    bytes.insert(bytes.end(), rts.begin(), rts.end());
    Expected<Tileset> loaded = LoadBytes(bytes, 50);
    ASSERT_TRUE(loaded);
    const Tileset& tileset = *loaded;
    EXPECT_EQ(tileset.tileWidth, 32);
    EXPECT_EQ(tileset.tileHeight, 8);
    EXPECT_EQ(tileset.tiles[1].image.width, 32);
    EXPECT_EQ(tileset.tiles[1].image.pixels, PatternRts(2, 32, 8).tiles[1].pixels);
}

TEST(RtsFile, ZeroSizedTilesHoldEmptyImagesOfThatSize) {
    Expected<Tileset> loaded = LoadBytes(PatternRts(3, 0, 5).Build());
    ASSERT_TRUE(loaded);
    const Tileset& tileset = *loaded;
    EXPECT_EQ(tileset.tileWidth, 0);
    EXPECT_EQ(tileset.tileHeight, 5);
    EXPECT_EQ(tileset.tiles[2].image.width, 0);
    EXPECT_EQ(tileset.tiles[2].image.height, 5);
    EXPECT_TRUE(tileset.tiles[2].image.pixels.empty());
    EXPECT_EQ(Saved(tileset), PatternRts(3, 0, 5).Build());
}

struct BadHeader {
    const char* what;
    std::size_t offset;
    std::uint8_t value;
    std::string reason;
};

void PrintTo(const BadHeader& c, std::ostream* os) {
    *os << c.what;
}

constexpr const char* kNotRts = "byte 0: not an RTS tileset file: it does not start with \".rts\"";

std::string Version(int version) {
    return "byte 4: the header field version is " + std::to_string(version) + "; only version 1 is known";
}

std::string Bits(int bits) {
    return "byte 12: the header field bits per pixel is " + std::to_string(bits) + "; it must be 32";
}

class RtsRejectedHeader : public ::testing::TestWithParam<BadHeader> {};

TEST_P(RtsRejectedHeader, SaysWhyAndWhere) {
    Bytes bytes = PatternRts(1, 16, 16).Build();
    bytes[GetParam().offset] = GetParam().value;
    const Expected<Tileset> loaded = LoadBytes(bytes);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error().Text(), "in.rts: " + GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(Headers, RtsRejectedHeader,
                         ::testing::Values(BadHeader{"signature 0", 0, 'x', kNotRts}, BadHeader{"signature 1", 1, 'R', kNotRts},
                                           BadHeader{"signature 2", 2, 'm', kNotRts}, BadHeader{"signature 3", 3, 'p', kNotRts},
                                           BadHeader{"version 2", 4, 2, Version(2)}, BadHeader{"version 0", 4, 0, Version(0)},
                                           BadHeader{"version 257", 5, 1, Version(257)},
                                           BadHeader{"24 bits", 12, 24, Bits(24)},
                                           BadHeader{"288 bits", 13, 1, Bits(288)}));

TEST(RtsFile, EveryTruncationFailsAtItsEnd) {
    RtsFile file = PatternRts(2, 4, 2);
    file.tiles[0].segments = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    file.tiles[1].segmentType = 1;
    file.tiles[1].typeOneData = Bytes(8, 1);
    const Bytes whole = file.Build();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const Expected<Tileset> loaded = LoadBytes(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
        ASSERT_FALSE(loaded) << size;
        EXPECT_EQ(loaded.error().Path(), "in.rts");
        EXPECT_LE(loaded.error().Offset().value_or(0), size) << size;
    }
    EXPECT_TRUE(LoadBytes(whole));
}

TEST(RtsFile, AHeaderClaimingMoreThanTheFileHoldsFailsBeforeAllocating) {
    RtsFile file = PatternRts(1, 16, 16);
    file.countField = 65535;
    file.tileWidth = 65535;
    file.tileHeight = 65535;
    const Expected<Tileset> loaded = LoadBytes(file.Build());
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error().Text(), "in.rts: byte 256: tile 0 needs 17179344900 bytes of pixels, 1056 are left");
}

}  // namespace
}  // namespace gridport
