// The batch's walk over an in-memory file system: what it finds, in what
// order, and what it leaves out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/MapFinder.h"
#include "support/MemoryFileSystem.h"

namespace gridport::batch {
namespace {

using test::MemoryFileSystem;

// Each map found as "relative -> output".
std::vector<std::string> Found(const FoundMaps& found) {
    std::vector<std::string> lines;
    for (const MapEntry& entry : found.maps) {
        lines.push_back(entry.relative + " -> " + entry.output + (entry.sameOutputAs ? " (taken)" : ""));
    }
    return lines;
}

TEST(MapFinder, WalksNestedFoldersInNameOrderThroughLinksAndNeverIntoTheOutput) {
    MemoryFileSystem files;
    for (const char* path : {"src/b.map", "src/A.MAP", "src/notes.txt", "src/x/y/c.Map", "src/x/a.map",
                             "src/out/old.map", "lib/shared.map", "src/.map"}) {
        files.Put(path, {1});
    }
    files.PutDevice("src/fifo.map", FileKind::Fifo);
    files.PutFolder("src/empty.map");  // a folder is walked, whatever its name
    files.Symlink("lib", "src/lib");
    files.Symlink("src", "src/x/loop");  // back up: walked once
    files.Symlink("gone", "src/dangling.map");
    const Expected<FoundMaps> found = FindMaps(files, "src", "src/out");
    ASSERT_TRUE(found);
    EXPECT_EQ(Found(*found), (std::vector<std::string>{
                                 "A.MAP -> src/out/A.rmp", "b.map -> src/out/b.rmp",
                                 "dangling.map -> src/out/dangling.rmp", "fifo.map -> src/out/fifo.rmp",
                                 "lib/shared.map -> src/out/lib/shared.rmp", "x/a.map -> src/out/x/a.rmp",
                                 "x/y/c.Map -> src/out/x/y/c.rmp"}));
    EXPECT_TRUE(found->unreadable.empty());
    EXPECT_EQ(found->maps[1].map, "src/b.map");
}

// Each path is kept as its folder's and its name: rebuilt whole, sorted as the whole relative paths sort (bytes as
// unsigned, '-' < '.' < '/'), through deep folders and names that aren't UTF-8.
TEST(MapFinder, PathsInDeepFoldersAndOfOddBytesAreRebuiltWhole) {
    MemoryFileSystem files;
    for (const char* path : {"src/\xff/q.MAP", "src/a/b/z.map", "src/a/b/c/d/\xe9t\xe9.map", "src/a.map",
                             "src/a/b/c/d/x.map", "src/a-b.map"}) {
        files.Put(path, {1});
    }
    const Expected<FoundMaps> found = FindMaps(files, "src", "out");
    ASSERT_TRUE(found);
    EXPECT_EQ(Found(*found), (std::vector<std::string>{
                                 "a-b.map -> out/a-b.rmp", "a.map -> out/a.rmp", "a/b/c/d/x.map -> out/a/b/c/d/x.rmp",
                                 "a/b/c/d/\xe9t\xe9.map -> out/a/b/c/d/\xe9t\xe9.rmp", "a/b/z.map -> out/a/b/z.rmp",
                                 "\xff/q.MAP -> out/\xff/q.rmp"}));
    EXPECT_EQ(found->maps[3].map, "src/a/b/c/d/\xe9t\xe9.map");
    EXPECT_EQ(found->maps[5].map, "src/\xff/q.MAP");
    // Maps given whole keep their own paths, however unlike each other.
    const MapList given{{"src/\xe9.map", "\xe9.map", "x\xff.rmp", "other.map"}, {"a.map", "a.map", "o", {}}};
    ASSERT_EQ(given.size(), 2U);
    const MapEntry first = given[0];
    EXPECT_EQ(first.map + " " + first.relative + " " + first.output + " " + first.sameOutputAs.value_or("-"),
              "src/\xe9.map \xe9.map x\xff.rmp other.map");
    EXPECT_EQ(given.Output(1), "o");
    EXPECT_FALSE(given.SameOutputAs(1));
}

TEST(MapFinder, AnUnreadableFolderIsOneFailureAndTheWalkGoesOn) {
    MemoryFileSystem files;
    files.Put("src/a.map", {1});
    files.Put("src/locked/b.map", {1});
    files.Put("src/locked/deep/c.map", {1});
    files.Put("src/z/d.map", {1});
    files.DenyListing("src/locked");
    const Expected<FoundMaps> found = FindMaps(files, "src", "out");
    ASSERT_TRUE(found);
    EXPECT_EQ(Found(*found), (std::vector<std::string>{"a.map -> out/a.rmp", "z/d.map -> out/z/d.rmp"}));
    ASSERT_EQ(found->unreadable.size(), 1U);
    EXPECT_EQ(found->unreadable[0].Text(), "src/locked: cannot list the folder: Permission denied");
}

TEST(MapFinder, ASourceThatIsNoFolderIsTheOneMapAndAMissingOneFails) {
    MemoryFileSystem files;
    files.Put("maps/town.dat", {1});
    Expected<FoundMaps> found = FindMaps(files, "maps/town.dat", "out");
    ASSERT_TRUE(found);
    EXPECT_EQ(Found(*found), std::vector<std::string>{"town.dat -> out/town.dat.rmp"});
    found = FindMaps(files, "nothing", "out");
    ASSERT_FALSE(found);
    EXPECT_EQ(found.error().Text(), "nothing: cannot open: No such file or directory");
    // The source as its own output: nothing in it is an input.
    found = FindMaps(files, "maps", "maps");
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->maps.empty());
}

TEST(MapFinder, TwoMapsOfOneOutputAreMarked) {
    MemoryFileSystem files;
    files.Put("src/a.map", {1});
    files.Put("src/a.MAP", {1});
    const Expected<FoundMaps> found = FindMaps(files, "src", "out");
    ASSERT_TRUE(found);
    if (kNamesIgnoreCase) {
        GTEST_SKIP() << "here the outputs differ only in letter case";
    }
    EXPECT_EQ(Found(*found), (std::vector<std::string>{"a.MAP -> out/a.rmp", "a.map -> out/a.rmp (taken)"}));
    EXPECT_EQ(found->maps[1].sameOutputAs, std::optional<std::string>("src/a.MAP"));
}

}  // namespace
}  // namespace gridport::batch
