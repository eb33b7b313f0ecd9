// The batch's run over in-memory files, one tileset for every map: a map
// whose output folder can't be made fails alone, and the progress line
// counts what was done.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/Version.h"
#include "batch/Batch.h"
#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
#include "support/Samples.h"

namespace gridport::batch {
namespace {

TEST(RunBatch, AnOutputFolderThatCantBeMadeFailsOnlyItsMapAndProgressCountsIt) {
#if GRIDPORT_EMULATED
    GTEST_SKIP() << "progress runs the maps on a thread, and threads hang under qemu's user mode";
#endif
    test::MemoryFileSystem files;
    files.Put("t.vsp", test::PatternVsp(5).Build());
    files.Put("blocked", {1});
    const std::vector<MapEntry> maps{{"a.map", "a.map", "out/a.rmp", {}},
                                     {"b.map", "b.map", "blocked/b.rmp", {}},
                                     {"c.map", "c.map", "out/deep/c.rmp", {}}};
    for (const MapEntry& entry : maps) {
        files.Put(entry.map, test::TownMap().Build());
    }
    BatchOptions options;
    options.tileset = "t.vsp";
    options.report = "-";
    options.jobs = 1;
    FolderCache cache;
    std::FILE* terminal = std::tmpfile();
    ASSERT_NE(terminal, nullptr);
    const std::vector<MapRecord> records = RunBatch(maps, options, files, cache, BuildLog(), terminal);
    std::string shown(4096, '\0');
    std::rewind(terminal);
    shown.resize(std::fread(shown.data(), 1, shown.size(), terminal));
    std::fclose(terminal);
    ASSERT_EQ(records.size(), 3U);
    EXPECT_EQ(records[0].result, MapResult::Converted);
    EXPECT_EQ(records[0].bytes, files.Get("out/a.rmp").size());
    EXPECT_EQ(records[1].result, MapResult::Failed);
    ASSERT_TRUE(records[1].failure);
    EXPECT_EQ(records[1].failure->Text(), "blocked/: cannot make the folder: Not a directory");
    EXPECT_EQ(records[2].result, MapResult::Converted);
    EXPECT_TRUE(files.Has("out/deep/c.rmp"));
    EXPECT_NE(shown.find("\r3/3 maps, 1 failed, "), std::string::npos) << shown;
    EXPECT_EQ(shown.back(), '\n');
}


// An output out/a.rmp newer than a.map and t.vsp, and a log entry for it naming a.map and tileset, with the map's
// size plus sizeChange.
void PutLogged(test::MemoryFileSystem& files, const std::string& tileset, std::uint64_t sizeChange) {
    files.Put("out/a.rmp", {1});
    const FileStatus map = *files.Status("a.map");
    const FileStatus tiles = *files.Status("t.vsp");
    const FileStatus output = *files.Status("out/a.rmp");
    const std::string line = "gridport-batch build log 2\na.rmp\ta.map\t" + tileset + "\t" +
                             std::to_string(map.size + sizeChange) + "\t" + std::to_string(map.modified) + "\t" +
                             std::to_string(tiles.size) + "\t" + std::to_string(tiles.modified) + "\t" +
                             std::to_string(output.size) + "\t" + std::to_string(output.modified) + "\t" + kVersion +
                             "\n";
    files.Put("out/.gridport.log", test::Bytes(line.begin(), line.end()));
}

// One map each, from the failure that comes first to a conversion: the
// record's result and its reason.
struct OneMap {
    const char* name;
    std::function<void(test::MemoryFileSystem&, MapEntry&, BatchOptions&)> setUp;
    MapResult result;
    std::string failure;  // the reason's text; empty when it has none
};

TEST(RunBatch, EachMapEndsWithItsResultAndReason) {
    const std::vector<OneMap> cases{
        {"sameOutput", [](auto&, MapEntry& entry, auto&) { entry.sameOutputAs = "A.map"; }, MapResult::Failed,
         "a.map: its output out/a.rmp is the output of A.map too"},
        {"mapMissing", [](auto&, MapEntry& entry, auto&) { entry.map = "missing.map"; },
         MapResult::Failed, "missing.map: cannot open: No such file or directory"},
        {"headerBroken",
         [](auto& files, auto&, BatchOptions& options) {
             files.Put("a.map", {1, 2, 3});
             options.tileset.reset();
         },
         MapResult::Failed, "a.map: byte 0: not a MAP file: the first byte is not 4 (version 1) and the first six bytes are not the "
         "version-2 signature 4D 41 50 F9 35 00"},
        {"linkedTilesetMissing", [](auto&, auto&, BatchOptions& options) { options.tileset.reset(); },
         MapResult::Failed, "a.map: the tileset \"town.vsp\" stored in the map is in none of the folders ."},
        {"tilesetIsAFolder",
         [](auto& files, auto&, BatchOptions& options) {
             files.PutFolder("tiles");
             options.tileset = "tiles";
         },
         MapResult::Failed, "tiles: cannot open: Is a directory"},
        {"tilesetMissing", [](auto&, auto&, BatchOptions& options) { options.tileset = "none.vsp"; },
         MapResult::Failed, "none.vsp: cannot open: No such file or directory"},
        {"outputIsAFolder", [](auto& files, auto&, auto&) { files.PutFolder("out/a.rmp"); }, MapResult::Failed,
         "out/a.rmp: not a regular file (a folder)"},
        {"outputIsADevice", [](auto& files, auto&, auto&) { files.PutDevice("out/a.rmp"); }, MapResult::Failed,
         "out/a.rmp: not a regular file (a device)"},
        // Newer than both inputs is up to date only with the log's word for the same pair, sizes and times.
        {"outputNewerNoLog", [](auto& files, auto&, auto&) { files.Put("out/a.rmp", {1}); }, MapResult::Converted, ""},
        {"outputNewerLogged", [](auto& files, auto&, auto&) { PutLogged(files, "t.vsp", 0); }, MapResult::UpToDate, ""},
        {"logNamesAnotherTileset", [](auto& files, auto&, auto&) { PutLogged(files, "u.vsp", 0); },
         MapResult::Converted, ""},
        {"logHasAnotherSize", [](auto& files, auto&, auto&) { PutLogged(files, "t.vsp", 1); }, MapResult::Converted, ""},
        {"outputNewerForced",
         [](auto& files, auto&, BatchOptions& options) {
             PutLogged(files, "t.vsp", 0);
             options.force = true;
         },
         MapResult::Converted, ""},
        {"outputOlder",
         [](auto& files, auto&, auto&) {
             files.Put("out/a.rmp", {1});
             files.Put("a.map", test::TownMap().Build());
         },
         MapResult::Converted, ""},
        {"dryRun", [](auto&, auto&, BatchOptions& options) { options.dryRun = true; }, MapResult::WouldConvert, ""},
        {"mapSeekFails", [](auto& files, auto&, auto&) { files.FailAt(test::FileOperation::Seek, 1); },
         MapResult::Converted, ""},
        {"outputWriteFails", [](auto& files, auto&, auto&) { files.FailAt(test::FileOperation::Write, 1); },
         MapResult::Failed, "out/a.rmp: cannot write: No space left on device"},
    };
    for (const OneMap& one : cases) {
        SCOPED_TRACE(one.name);
        test::MemoryFileSystem files;
        files.Put("t.vsp", test::PatternVsp(5).Build());
        files.Put("a.map", test::TownMap().Build());
        std::vector<MapEntry> maps{{"a.map", "a.map", "out/a.rmp", {}}};
        BatchOptions options;
        options.tileset = "t.vsp";
        options.jobs = 1;
        one.setUp(files, maps[0], options);
        FolderCache cache;
        const std::vector<MapRecord> records =
            RunBatch(maps, options, files, cache, BuildLog::Read(files, "out/.gridport.log"), nullptr);
        ASSERT_EQ(records.size(), 1U);
        EXPECT_STREQ(ResultName(records[0].result), ResultName(one.result));
        EXPECT_EQ(records[0].failure ? records[0].failure->Text() : "", one.failure);
    }
    EXPECT_STREQ(ResultName(MapResult::NotDone), "not-done");
}

// With --fail-fast the first failure leaves the maps after it not done.
TEST(RunBatch, FailFastLeavesTheRestNotDone) {
    test::MemoryFileSystem files;
    files.Put("t.vsp", test::PatternVsp(5).Build());
    files.Put("b.map", test::TownMap().Build());
    const std::vector<MapEntry> maps{{"a.map", "a.map", "a.rmp", {}}, {"b.map", "b.map", "b.rmp", {}}};
    BatchOptions options;
    options.tileset = "t.vsp";
    options.jobs = 1;
    options.failFast = true;
    FolderCache cache;
    const std::vector<MapRecord> records = RunBatch(maps, options, files, cache, BuildLog(), nullptr);
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(records[0].result, MapResult::Failed);
    EXPECT_EQ(records[1].result, MapResult::NotDone);
    EXPECT_FALSE(files.Has("b.rmp"));
}

}  // namespace
}  // namespace gridport::batch
