// The batch's run over in-memory files, one tileset for every map: a map
// whose output folder can't be made fails alone, and the progress line
// counts what was done.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "batch/Batch.h"
#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
#include "support/Samples.h"

namespace gridport::batch {
namespace {

TEST(RunBatch, AnOutputFolderThatCantBeMadeFailsOnlyItsMapAndProgressCountsIt) {
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
    const std::vector<MapRecord> records = RunBatch(maps, options, files, cache, terminal);
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

}  // namespace
}  // namespace gridport::batch
