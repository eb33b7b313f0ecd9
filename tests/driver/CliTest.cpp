// Runs the gridport command in a fresh temporary folder per case. The command
// comes from GRIDPORT_COMMAND when it is set (for instance an emulator and a
// Windows build), otherwise it is the binary built with this suite.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Builders.h"
#include "support/Conversion.h"
#include "support/Files.h"
#include "support/TempDir.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace gridport {
namespace {

using testing::Bytes;
using testing::HarbourMap;
using testing::MapV1File;
using testing::MapV2File;
using testing::MapV2Layer;
using testing::PatternRts;
using testing::PatternVsp;
using testing::ReadDiskFile;
using testing::RmpFile;
using testing::RmpLayer;
using testing::RtsFile;
using testing::RtsFromVsp;
using testing::TempDir;
using testing::TownMap;
using testing::VspFile;
using testing::WriteDiskFile;

const char kUsage[] = "Syntax: gridport <mapfile> <rss/vsp file> <rmpfile>\n";

std::string Command() {
    const char* command = std::getenv("GRIDPORT_COMMAND");
    return command != nullptr && *command != '\0' ? command : "'" GRIDPORT_BINARY "'";
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// A working folder for one case, and a separate one for the captured output,
// so that the working folder holds only what the case and gridport put there.
class Cli : public ::testing::Test {
protected:
    // prefix, when given, runs the command under another user.
    Outcome Gridport(const std::vector<std::string>& arguments, const std::string& prefix = "") {
        std::string line = "cd " + Quoted(work.Path().string()) + " && " + prefix + Command();
        for (const std::string& argument : arguments) {
            line.append(" ").append(Quoted(argument));
        }
        line += " >" + Quoted(capture / "out") + " 2>" + Quoted(capture / "err") + " </dev/null";
        const int raw = std::system(line.c_str());
        Outcome run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(capture / "out");
        run.err = Slurp(capture / "err");
        return run;
    }

    void Put(const std::string& name, const Bytes& bytes) { WriteDiskFile(work / name, bytes); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(work / name); }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(work.Path()),
                                                      std::filesystem::directory_iterator()));
    }

    void ExpectImportFailure(const std::string& map, const std::string& tiles) {
        const Outcome run = Gridport({map, tiles, "out.rmp"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "Error: Could not import MAP '" + map + "' '" + tiles + "'\n");
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(Exists("out.rmp"));
    }

    TempDir work;
    TempDir capture;
};

// The RMP file a version-1 map and its tileset convert to, from the layout.
Bytes ExpectedVersion1(const MapV1File& map, const RtsFile& tileset) {
    const auto tileCount = static_cast<std::uint16_t>(tileset.tiles.size() - 1);
    RmpFile rmp;
    rmp.headerX = map.headerX;
    rmp.headerY = map.headerY;
    rmp.headerLayer = map.selector == 1 || map.selector == 2 ? 1 : 0;
    rmp.headerMode = 4;
    rmp.linkedFileName = map.text;
    RmpLayer background;
    background.name = "Background";
    background.width = map.width;
    background.height = map.height;
    background.cells = map.background;
    RmpLayer foreground = background;
    foreground.name = "Foreground";
    foreground.cells.clear();
    for (const std::uint16_t cell : map.foreground) {
        foreground.cells.push_back(cell == 0 ? tileCount : cell);
    }
    rmp.layers = {background, foreground};
    rmp.tileset = tileset.Build();
    return rmp.Build();
}

TEST_F(Cli, WrongArgumentCountsPrintTheUsageLineAndTouchNothing) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"a.map", "b.vsp"}, {"a.map", "b.vsp", "c.rmp", "d"}}) {
        const Outcome run = Gridport(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, kUsage);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(Entries(), 0U);
    }
}

TEST_F(Cli, ImportFailuresNameBothPathsAsGiven) {
    ExpectImportFailure("", "");
    ExpectImportFailure("missing.map", "tiles.vsp");
    Put("town.map", TownMap().Build());
    ExpectImportFailure("town.map", "missing.vsp");
    Put("tiles.vsp", PatternVsp(5).Build());
    ExpectImportFailure("Town.map", "tiles.vsp");
    ExpectImportFailure("town.map", "Tiles.vsp");
    ExpectImportFailure("./TOWN.MAP", "tiles.vsp");
    EXPECT_EQ(Entries(), 2U);
}

TEST_F(Cli, ConvertsWithAVspTilesetAndPrintsNothing) {
    const VspFile vsp = PatternVsp(5, 1);
    Put("town.map", TownMap().Build());
    Put("TILES.Vsp", vsp.Build());
    const Outcome run = Gridport({"town.map", "TILES.Vsp", "town.rmp"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const Bytes rmp = ReadDiskFile(work / "town.rmp");
    EXPECT_EQ(rmp, ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true)));
    // 256 + 18 + strings, 32 + name + cells per layer, then the tileset.
    const std::size_t tileset = 256 + 6 * (16 * 16 * 4 + 32);
    EXPECT_EQ(rmp.size(), 256 + 18 + 8 + (32 + 10 + 12) * 2 + tileset);
}

TEST_F(Cli, ConvertsWithAnRtsTilesetOfOtherTileSizes) {
    RtsFile rts = PatternRts(5, 24, 12);
    rts.tiles[2].segments = {{1, 2, 3, 4}};
    rts.tiles[3].infoValueA = 300;
    Put("town.map", TownMap().Build());
    Put("tiles.rts", rts.Build());
    ASSERT_EQ(Gridport({"town.map", "tiles.rts", "town.rmp"}).status, 0);
    testing::RtsTile clear;
    clear.pixels.assign(24 * 12 * 4, 0);
    rts.tiles.push_back(clear);
    EXPECT_EQ(ReadDiskFile(work / "town.rmp"), ExpectedVersion1(TownMap(), rts));
}

TEST_F(Cli, SaveFailures) {
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", PatternVsp(5).Build());
    Outcome run = Gridport({"town.map", "tiles.vsp", "no/such/dir/out.rmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error: Could not save RMP 'no/such/dir/out.rmp'\n");
    EXPECT_EQ(run.err, "");
    if (std::filesystem::exists("/dev/full")) {
        run = Gridport({"town.map", "tiles.vsp", "/dev/full"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "Error: Could not save RMP '/dev/full'\n");
    }
}

TEST_F(Cli, SaveFailsOntoADirectoryAndIntoAReadOnlyDirectory) {
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", PatternVsp(5).Build());
    std::filesystem::create_directory(work / "out.rmp");
    Outcome run = Gridport({"town.map", "tiles.vsp", "out.rmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error: Could not save RMP 'out.rmp'\n");
    EXPECT_TRUE(std::filesystem::is_directory(work / "out.rmp"));

    // The superuser writes into read-only directories, so as root the command
    // runs as the user nobody (uid 65534), which needs setpriv.
    std::string prefix;
    if (geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "running as root without setpriv: no user to whom a directory is read-only";
        }
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        std::filesystem::permissions(work.Path(), std::filesystem::perms::all);
    }
    std::filesystem::create_directory(work / "locked");
    using std::filesystem::perms;
    std::filesystem::permissions(work / "locked", perms::owner_write | perms::group_write | perms::others_write,
                                 std::filesystem::perm_options::remove);
    run = Gridport({"town.map", "tiles.vsp", "locked/out.rmp"}, prefix);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error: Could not save RMP 'locked/out.rmp'\n");
    EXPECT_FALSE(Exists("locked/out.rmp"));
    // The same user can convert into the working directory.
    EXPECT_EQ(Gridport({"town.map", "tiles.vsp", "open.rmp"}, prefix).status, 0);
}

TEST_F(Cli, ATilesetOf65535TilesCantTakeTheTransparentTile) {
    MapV1File map = TownMap();
    map.background = {65534, 0, 0, 0, 0, 0};
    Put("town.map", map.Build());
    Put("tiles.rts", PatternRts(65535, 1, 1).Build());
    const Outcome run = Gridport({"town.map", "tiles.rts", "town.rmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error: Could not save RMP 'town.rmp'\n");
    EXPECT_FALSE(Exists("town.rmp"));
    // One tile fewer fits.
    Put("tiles.rts", PatternRts(65534, 1, 1).Build());
    map.background[0] = 65533;
    Put("town.map", map.Build());
    EXPECT_EQ(Gridport({"town.map", "tiles.rts", "town.rmp"}).status, 0);
}

Bytes ExpectedHarbour(const Bytes& tileset) {
    RmpFile rmp;
    rmp.headerX = 40000;
    rmp.headerY = 2;
    rmp.headerLayer = 0;
    rmp.linkedFileName = "harbour";
    RmpLayer b{2, 2, 0, 1.0F, 1.0F, 0.0F, 0.0F, 0, "Layer B", {3, 2, 2, 2}, {}};
    RmpLayer c{4, 1, 0, 1.0F, 1.0F, 0.0F, 0.0F, 0, "Layer C", {4, 4, 4, 4}, {}};
    RmpLayer a{3, 2, 0, 1.0F, 1.0F, 0.0F, 0.0F, 0, "Layer A", {0, 1, 1, 1, 4, 0}, {}};
    rmp.layers = {b, c, a, c};
    rmp.tileset = tileset;
    return rmp.Build();
}

TEST_F(Cli, ConvertsVersion2WithEitherTileset) {
    const VspFile vsp = PatternVsp(5);
    RtsFile rts = PatternRts(5, 8, 8);
    rts.tiles[1].segments = {{7, 7, 0, 0}};
    Put("harbour.map", HarbourMap().Build());
    Put("tiles.vsp", vsp.Build());
    Put("tiles.rts", rts.Build());
    ASSERT_EQ(Gridport({"harbour.map", "tiles.vsp", "a.rmp"}).status, 0);
    ASSERT_EQ(Gridport({"harbour.map", "tiles.rts", "b.rmp"}).status, 0);
    EXPECT_EQ(ReadDiskFile(work / "a.rmp"), ExpectedHarbour(RtsFromVsp(vsp, false).Build()));
    EXPECT_EQ(ReadDiskFile(work / "b.rmp"), ExpectedHarbour(rts.Build()));
}

TEST_F(Cli, TruncationsAtSectionBoundariesFail) {
    const Bytes map = HarbourMap().Build();
    const Bytes vsp = PatternVsp(5).Build();
    Put("tiles.vsp", vsp);
    // Inside the header, at its end, after each record, inside each layer.
    const std::size_t layerData = 206 + 4 * 12;
    for (const std::size_t size : {std::size_t{5}, std::size_t{100}, std::size_t{206}, std::size_t{218},
                                   layerData, layerData + 4, layerData + 10, map.size() - 1}) {
        Put("harbour.map", Bytes(map.begin(), map.begin() + static_cast<std::ptrdiff_t>(size)));
        ExpectImportFailure("harbour.map", "tiles.vsp");
    }
    Put("harbour.map", map);
    for (const std::size_t size : {std::size_t{771}, std::size_t{772}, std::size_t{1000}, vsp.size() - 1}) {
        Put("tiles.vsp", Bytes(vsp.begin(), vsp.begin() + static_cast<std::ptrdiff_t>(size)));
        ExpectImportFailure("harbour.map", "tiles.vsp");
    }
}

}  // namespace
}  // namespace gridport
