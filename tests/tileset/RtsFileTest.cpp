#include <gtest/gtest.h>

#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
#include "tileset/Tileset.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;
using test::PatternRts;
using test::RtsFile;
using test::RtsTile;

Bytes Saved(const Tileset& tileset) {
    MemoryFileSystem files;
    const auto file = files.Open("out.rts", OpenMode::Write);
    EXPECT_TRUE(tileset.Save(*file));
    return files.Get("out.rts");
}

bool LoadBytes(Tileset& tileset, const Bytes& bytes, Error& error) {
    MemoryFileSystem files;
    files.Put("in.rts", bytes);
    return tileset.Load("in.rts", files, error);
}

bool LoadBytes(Tileset& tileset, const Bytes& bytes) {
    Error error;
    return LoadBytes(tileset, bytes, error);
}

TEST(RtsFile, SavedSizesFollowTheLayout) {
    Tileset tileset;
    EXPECT_EQ(Saved(tileset), RtsFile{}.Build());
    EXPECT_EQ(Saved(tileset).size(), 256U);
    tileset.AppendBlankTiles(1);
    EXPECT_EQ(Saved(tileset).size(), 1312U);
    tileset.AppendBlankTiles(1);
    tileset.tiles[0].segments.Append(1, 2, 3, 4);
    tileset.tiles[1].segments.Append(5, 6, 7, 8);
    tileset.tiles[1].segments.Append(9, 10, 11, 12);
    EXPECT_EQ(Saved(tileset).size(), 2392U);
}

TEST(RtsFile, SavesExactlyTheBytesOfTheFormat) {
    RtsFile expected = PatternRts(3, 7, 3);
    expected.tiles[0].infoFlag = 1;
    expected.tiles[1].infoValueA = 65535;
    expected.tiles[2].infoValueB = 4464;
    expected.tiles[2].segments = {{65535, 0, 4464, 5}, {1, 2, 3, 4}};
    Tileset tileset;
    ASSERT_TRUE(LoadBytes(tileset, expected.Build()));
    EXPECT_EQ(tileset.tileWidth, 7);
    EXPECT_EQ(tileset.tileHeight, 3);
    EXPECT_EQ(Saved(tileset), expected.Build());

    // Values beyond 16 bits keep their low 16 bits; -1 comes back as 65535.
    tileset.tiles[0].SetInfoValueA(-1);
    tileset.tiles[0].segments.Append(-1, 0, 70000, 5);
    Tileset reloaded;
    ASSERT_TRUE(LoadBytes(reloaded, Saved(tileset)));
    EXPECT_EQ(reloaded.tiles[0].infoValueA, 65535);
    EXPECT_EQ(reloaded.tiles[0].segments.At(0), (Segment{65535, 0, 4464, 5}));
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
    Tileset tileset;
    ASSERT_TRUE(LoadBytes(tileset, file.Build()));
    EXPECT_EQ(tileset.tiles[0].segments.Count(), 0);
    EXPECT_EQ(tileset.tiles[1].segments.Count(), 0);
    EXPECT_EQ(tileset.tiles[2].segments.At(0), (Segment{1, 2, 3, 4}));
    EXPECT_TRUE(tileset.tiles[3].infoFlag);

    // Flag 0: the information blocks follow each other, their segment fields ignored.
    RtsFile flat = PatternRts(2, 16, 16);
    flat.segmentFlag = 0;
    flat.tiles[0].segments = {{1, 1, 1, 1}};
    flat.tiles[1].infoValueB = 77;
    ASSERT_TRUE(LoadBytes(tileset, flat.Build()));
    EXPECT_EQ(tileset.tiles[0].segments.Count(), 0);
    EXPECT_EQ(tileset.tiles[1].infoValueB, 77);
}

TEST(RtsFile, LoadsFromTheCurrentPositionOfAnOpenFile) {
    MemoryFileSystem files;
    Bytes bytes(50, 0xEE);
    const Bytes rts = PatternRts(2, 32, 8).Build();
    bytes.insert(bytes.end(), rts.begin(), rts.end());
    files.Put("in", bytes);
    const auto file = files.Open("in", OpenMode::Read);
    ASSERT_EQ(file->Seek(50), 0);
    Tileset tileset;
    ASSERT_TRUE(tileset.Load(*file));
    EXPECT_EQ(tileset.tileWidth, 32);
    EXPECT_EQ(tileset.tileHeight, 8);
    EXPECT_EQ(tileset.tiles[1].image.width, 32);
    EXPECT_EQ(tileset.tiles[1].image.pixels, PatternRts(2, 32, 8).tiles[1].pixels);
}

TEST(RtsFile, ZeroSizedTilesHoldEmptyImagesOfThatSize) {
    Tileset tileset;
    ASSERT_TRUE(LoadBytes(tileset, PatternRts(3, 0, 5).Build()));
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

TEST_P(RtsRejectedHeader, LeavesTheTilesetAsItWas) {
    Bytes bytes = PatternRts(1, 16, 16).Build();
    bytes[GetParam().offset] = GetParam().value;
    Tileset tileset;
    tileset.tileWidth = 32;
    tileset.tileHeight = 8;
    tileset.AppendBlankTiles(2);
    Error error;
    EXPECT_FALSE(LoadBytes(tileset, bytes, error));
    EXPECT_EQ(error.Text(), "in.rts: " + GetParam().reason);
    EXPECT_EQ(tileset.tileWidth, 32);
    EXPECT_EQ(tileset.tileHeight, 8);
    EXPECT_EQ(tileset.TileCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Headers, RtsRejectedHeader,
                         ::testing::Values(BadHeader{"signature 0", 0, 'x', kNotRts}, BadHeader{"signature 1", 1, 'R', kNotRts},
                                           BadHeader{"signature 2", 2, 'm', kNotRts}, BadHeader{"signature 3", 3, 'p', kNotRts},
                                           BadHeader{"version 2", 4, 2, Version(2)}, BadHeader{"version 0", 4, 0, Version(0)},
                                           BadHeader{"version 257", 5, 1, Version(257)},
                                           BadHeader{"24 bits", 12, 24, Bits(24)},
                                           BadHeader{"288 bits", 13, 1, Bits(288)}));

TEST(RtsFile, EveryTruncationFailsAndChangesNothing) {
    RtsFile file = PatternRts(2, 4, 2);
    file.tiles[0].segments = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    file.tiles[1].segmentType = 1;
    file.tiles[1].typeOneData = Bytes(8, 1);
    const Bytes whole = file.Build();
    Tileset tileset;
    tileset.AppendBlankTiles(1);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        Error error;
        EXPECT_FALSE(
            LoadBytes(tileset, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)), error))
            << size;
        EXPECT_EQ(error.File(), "in.rts");
        EXPECT_EQ(tileset.TileCount(), 1);
        EXPECT_EQ(tileset.tileWidth, 16);
    }
    EXPECT_TRUE(LoadBytes(tileset, whole));
}

TEST(RtsFile, AHeaderClaimingMoreThanTheFileHoldsFailsBeforeAllocating) {
    RtsFile file = PatternRts(1, 16, 16);
    file.countField = 65535;
    file.tileWidth = 65535;
    file.tileHeight = 65535;
    Tileset tileset;
    Error error;
    EXPECT_FALSE(LoadBytes(tileset, file.Build(), error));
    EXPECT_EQ(error.Text(), "in.rts: byte 256: tile 0 needs 17179344900 bytes of pixels, 1056 are left");
}

TEST(RtsFile, SaveRefusesWhatTheFormatCantHoldAndWritesNothing) {
    Tileset tooMany;
    tooMany.tileWidth = 1;
    tooMany.tileHeight = 1;
    tooMany.AppendBlankTiles(65536);
    Tileset tooWide;
    tooWide.tileWidth = 65536;
    tooWide.tileHeight = 0;
    Tileset tooManySegments;
    tooManySegments.AppendBlankTiles(1);
    for (int i = 0; i < 65536; ++i) {
        tooManySegments.tiles[0].segments.Append(i, i, i, i);
    }
    Tileset mismatched;
    mismatched.AppendBlankTiles(1);
    mismatched.tileWidth = 8;
    for (const Tileset* tileset : {&tooMany, &tooWide, &tooManySegments, &mismatched}) {
        MemoryFileSystem files;
        const auto out = files.Open("out", OpenMode::Write);
        Error error;
        EXPECT_FALSE(tileset->FitsRtsFormat("out", error));
        EXPECT_NE(error.Text().find("out: "), std::string::npos);
        EXPECT_FALSE(tileset->Save(*out));
        EXPECT_EQ(out->Size(), 0);
    }
    tooMany.tiles.pop_back();
    EXPECT_TRUE(tooMany.FitsRtsFormat());
}

}  // namespace
}  // namespace gridport
