// The cached exact-name check gives what CheckExactName gives, reason for
// reason, and finds names up to letter case.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filesystem/DefaultFileSystem.h"
#include "filesystem/ExactName.h"
#include "filesystem/FolderCache.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace gridport {
namespace {

std::string Verdict(const Expected<void>& check) {
    return check ? "ok" : check.error().Text();
}

TEST(FolderCache, ChecksNamesAsCheckExactNameDoes) {
    test::TempDir dir;
    for (const char* name : {"town.map", "Tiles.VSP", "a.rmp", "A.rmp"}) {
        test::WriteDiskFile(dir / name, {1});
    }
    test::ScopedWorkingDirectory inside(dir.Path());
    FolderCache cache;
    CachedNameFileSystem files(defaultFileSystem, cache);
    const std::string folder = dir.Path().string();
    for (const std::string& path :
         {std::string("town.map"), std::string("Town.map"), std::string("tiles.vsp"), std::string("gone.map"),
          std::string("a.rmp"), std::string("a.RMP"), std::string("./town.map"), folder + "/TOWN.MAP",
          std::string("nowhere/town.map"), folder + "/town.map"}) {
        Expected<const FolderListing*> listing = cache.ListingOf(path);
        ASSERT_TRUE(listing) << path;
        EXPECT_EQ(Verdict((*listing)->Check(path.c_str())), Verdict(CheckExactName(path.c_str()))) << path;
        EXPECT_EQ((*listing)->Listed(), path.rfind("nowhere", 0) != 0) << path;
        Expected<std::unique_ptr<File>> cached = files.Open(path, OpenMode::Read);
        Expected<std::unique_ptr<File>> plain = defaultFileSystem.Open(path, OpenMode::Read);
        EXPECT_EQ(cached ? "ok" : cached.error().Text(), plain ? "ok" : plain.error().Text()) << path;
    }
    Expected<const FolderListing*> here = cache.ListingOf("x");
    ASSERT_TRUE(here);
    EXPECT_EQ((*here)->Matches("TILES.vsp"), std::vector<std::string_view>{"Tiles.VSP"});
    EXPECT_EQ((*here)->Matches("a.rmp").size(), 2U);
    EXPECT_TRUE((*here)->Matches("b.rmp").empty());
}

}  // namespace
}  // namespace gridport
