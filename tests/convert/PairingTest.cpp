// Which tileset a map pairs with, over real folders (the cache lists the
// disk): the map's folder first, then --tilesets in order, names up to
// letter case, another machine's folder parts, and the reasons when none or
// two match. gridport-batch and mapview both pair so.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "convert/Pairing.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace gridport {
namespace {

struct PairingCase {
    const char* stored;                 // the tileset name in maps/sub/m.map
    std::vector<std::string> tilesets;  // files made, from the working folder
    std::vector<std::string> folders;   // --tilesets
    const char* expected;               // the path found, or the whole reason
};

TEST(Pairing, FindsTheTilesetOrSaysWhy) {
    const std::vector<PairingCase> cases{
        {"tiles.vsp", {"maps/sub/tiles.vsp"}, {}, "maps/sub/tiles.vsp"},
        {"VILLAGE.VSP", {"maps/sub/village.vsp"}, {}, "maps/sub/village.vsp"},
        {"./t.vsp", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp"},
        {"Tiles.vsp", {"lib1/x.vsp", "lib2/TILES.vsp", "lib3/tiles.vsp"}, {"lib1", "lib2/", "lib3"}, "lib2/TILES.vsp"},
        {"t.vsp", {"lib/t.vsp", "maps/sub/T.vsp"}, {"lib"}, "maps/sub/T.vsp"},
        {"t.vsp", {"lib/t.vsp"}, {"nowhere", "lib"}, "lib/t.vsp"},
        {"..\\Shared\\T.VSP", {"maps/shared/t.vsp"}, {}, "maps/sub/../shared/t.vsp"},
        {"sets/t.vsp", {"lib/SETS/T.vsp"}, {"lib"}, "lib/SETS/T.vsp"},
        {"sets\\\\t.vsp", {"lib/sets/t.vsp"}, {"lib"}, "lib/sets/t.vsp"},
        {"C:\\GM\\t.vsp", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp"},
        {"\\GM\\t.vsp", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp"},
        {"/GM/t.vsp", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp"},
        {"C:t.vsp", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp"},
        // Trailing dots and spaces, which Windows ignores, of the name and of its folder parts.
        {"t.vsp. ", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp"},
        {"sets. \\t.vsp.", {"lib/sets/t.vsp"}, {"lib"}, "lib/sets/t.vsp"},
        // A file where a folder part goes leads nowhere.
        {"t.vsp/t.vsp", {"maps/sub/t.vsp"}, {}, "maps/sub/m.map: the tileset \"t.vsp/t.vsp\" stored in the map is "
                                                "in none of the folders maps/sub/"},
        {"gone.vsp", {"maps/sub/other.vsp"}, {"lib"}, "maps/sub/m.map: the tileset \"gone.vsp\" stored in the map is "
                                                      "in none of the folders maps/sub/, lib/"},
        {"", {"maps/sub/t.vsp"}, {}, "maps/sub/m.map: the map stores no tileset name"},
        {".", {}, {}, "maps/sub/m.map: the tileset name stored in the map, \".\", names no file"},
        {"sub\\..", {}, {}, "maps/sub/m.map: the tileset name stored in the map, \"sub\\..\", names no file"},
        {"x/t.vsp", {"maps/sub/X/t.vsp", "maps/sub/x/t.vsp"}, {}, "matches both maps/sub/"},
        {"t.vsp", {"maps/sub/t.vsp", "maps/sub/T.VSP"}, {}, "matches both maps/sub/"},
    };
    for (const PairingCase& c : cases) {
        const test::TempDir dir;
        const test::ScopedWorkingDirectory inside(dir.Path());
        std::filesystem::create_directories("maps/sub");
        for (const std::string& tileset : c.tilesets) {
            std::filesystem::create_directories(std::filesystem::path(tileset).parent_path());
            test::WriteDiskFile(tileset, {1});
        }
        FolderCache cache;
        const Expected<std::string> found = FindTileset("maps/sub/m.map", c.stored, c.folders, cache);
        const std::string expected = c.expected;
        if (expected.rfind("matches both ", 0) != 0) {
            EXPECT_EQ(found ? *found : found.error().Text(), expected) << c.stored;
            continue;
        }
        // Both spellings are named, in the folder's own order.
        ASSERT_FALSE(found) << c.stored;
        const std::string reason = found.error().Text();
        EXPECT_EQ(reason.rfind("maps/sub/m.map: the tileset name stored in the map, \"", 0), 0U) << reason;
        EXPECT_NE(reason.find(expected), std::string::npos) << reason;
        EXPECT_NE(reason.find(", which differ only in letter case"), std::string::npos) << reason;
    }
}

// A map in the working folder searches "." first, as the reason says.
TEST(Pairing, AMapInTheWorkingFolderSearchesItFirst) {
    const test::TempDir dir;
    const test::ScopedWorkingDirectory inside(dir.Path());
    test::WriteDiskFile("T.vsp", {1});
    FolderCache cache;
    Expected<std::string> found = FindTileset("m.map", "t.VSP", {}, cache);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, "T.vsp");
    found = FindTileset("m.map", "gone.vsp", {"lib"}, cache);
    ASSERT_FALSE(found);
    EXPECT_EQ(found.error().Text(), "m.map: the tileset \"gone.vsp\" stored in the map is in none of the folders ., lib/");
}

}  // namespace
}  // namespace gridport
