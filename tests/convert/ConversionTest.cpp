// The conversion's own checks and its RMP output: the format's limits,
// and an output that is replaced only when all of it was written.

#include <gtest/gtest.h>

#include "convert/Conversion.h"
#include "support/Builders.h"
#include "support/Conversion.h"
#include "support/MemoryFileSystem.h"

namespace gridport {
namespace {

using test::Bytes;
using test::FileOperation;
using test::MemoryFileSystem;

TEST(RmpLimits, LayersAndTilesBeyondTheFormatAreRefusedWithTheLimit) {
    MapDescription map;
    map.version = 2;
    map.outputLayers.assign(255, 0);
    TilesetHeader tileset{TilesetKind::Rts, 65535, 1, 1};
    EXPECT_TRUE(CheckRmpLimits(map, tileset, "out.rmp"));
    map.outputLayers.push_back(0);
    Expected<void> fits = CheckRmpLimits(map, tileset, "out.rmp");
    ASSERT_FALSE(fits);
    EXPECT_EQ(fits.error().Text(), "out.rmp: the RMP format holds at most 255 layers; the map has 256");
    // A version-1 map adds the transparent tile.
    map.version = 1;
    map.outputLayers = {0, 1};
    fits = CheckRmpLimits(map, tileset, "out.rmp");
    ASSERT_FALSE(fits);
    EXPECT_EQ(fits.error().Text(), "out.rmp: the RMP format holds at most 65535 tiles; the map needs 65536");
    tileset.tileCount = 65534;
    EXPECT_TRUE(CheckRmpLimits(map, tileset, "out.rmp"));
}

// A save that fails at any step leaves the old file as it was, and nothing
// beside it; the reason names the output.
TEST(RmpOutput, FailedStepsOfTheSaveLeaveTheOldFile) {
    const Bytes map = test::TownMap().Build();
    const Bytes tiles = test::PatternVsp(5).Build();
    for (const FileOperation operation :
         {FileOperation::CreateTemporary, FileOperation::Write, FileOperation::Close, FileOperation::Rename}) {
        MemoryFileSystem files;
        files.Put(test::kMapPath, map);
        files.Put("tiles.vsp", tiles);
        files.Put("out.rmp", {1, 2, 3});
        files.FailAt(operation, 1);
        std::optional<Error> reason;
        EXPECT_EQ(test::Convert(files, "tiles.vsp", &reason), test::ConversionOutcome::SaveFailed);
        ASSERT_TRUE(reason);
        EXPECT_EQ(reason->Path(), "out.rmp");
        EXPECT_EQ(files.Get("out.rmp"), (Bytes{1, 2, 3}));
        EXPECT_EQ(files.Paths(), (std::vector<std::string>{test::kMapPath, "out.rmp", "tiles.vsp"}));
        EXPECT_EQ(files.OpenFiles(), 0);
        files.FailAt(operation, 0);
        EXPECT_EQ(test::Convert(files, "tiles.vsp"), test::ConversionOutcome::Converted);
    }
}

// An output that was given no tileset converted nothing: its commit says so
// and makes no file, the old one left as it was.
TEST(RmpOutput, NothingConvertedIsNoOutput) {
    MemoryFileSystem files;
    files.Put("out.rmp", {1, 2, 3});
    RmpOutput output("out.rmp", files, test::kMapPath, "tiles.vsp");
    const MapDescription map;
    output.Begin(map, nullptr);
    const Expected<void> saved = output.Commit();
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().Text(), "out.rmp: nothing was converted");
    EXPECT_EQ(files.Paths(), std::vector<std::string>{"out.rmp"});
    EXPECT_EQ(files.Get("out.rmp"), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace gridport
