// Runs the gridport command in a fresh temporary folder per case. The command
// comes from GRIDPORT_COMMAND when it is set (for instance an emulator and a
// Windows build), otherwise it is the binary built with this suite (under the
// emulator of a cross build).
// GRIDPORT_TARGET=windows says that the command is a Windows build: its lines
// end in CR LF, and the Windows-only cases run.

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
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace gridport {
namespace {

using test::Bytes;
using test::HarbourMap;
using test::MapV1File;
using test::MapV2File;
using test::MapV2Layer;
using test::PatternRts;
using test::PatternVsp;
using test::ReadDiskFile;
using test::RmpFile;
using test::RmpLayer;
using test::RtsFile;
using test::RtsFromVsp;
using test::TempDir;
using test::TownMap;
using test::VspFile;
using test::WriteDiskFile;

bool Target(const std::string& name) {
    const char* target = std::getenv("GRIDPORT_TARGET");
    return target != nullptr && target == name;
}

bool WindowsTarget() {
    return Target("windows");
}

// GRIDPORT_TARGET=wasi: gridport.wasm under Node's WASI (make test-wasm),
// which has no permission bits and reaches only the folders it is given.
bool WasiTarget() {
    return Target("wasi");
}

// One line of standard output; the Windows C runtime writes text mode, so
// the line break there is CR LF.
std::string Line(const std::string& text) {
    return text + (WindowsTarget() ? "\r\n" : "\n");
}

std::string Command() {
    const char* command = std::getenv("GRIDPORT_COMMAND");
    return command != nullptr && *command != '\0' ? command : GRIDPORT_EMULATOR " '" GRIDPORT_BINARY "'";
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
    // Runs in the working folder, or in the given folder inside it; prefix,
    // when given, runs the command under another user.
    Outcome Gridport(const std::vector<std::string>& arguments, const std::string& from = "",
                     const std::string& prefix = "") {
        std::string line = "cd " + Quoted((work.Path() / from).string()) + " && " + prefix + Command();
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

    void Put(const std::string& name, const Bytes& bytes) {
        std::filesystem::create_directories(std::filesystem::path(work / name).parent_path());
        WriteDiskFile(work / name, bytes);
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(work / name); }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(work.Path()),
                                                      std::filesystem::directory_iterator()));
    }

    void ExpectImportFailure(const std::string& map, const std::string& tiles, const std::string& from = "") {
        const Outcome run = Gridport({map, tiles, "out.rmp"}, from);
        EXPECT_EQ(run.status, 1) << map;
        EXPECT_EQ(run.out, Line("Error: Could not import MAP '" + map + "' '" + tiles + "'"));
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(Exists((std::filesystem::path(from) / "out.rmp").string()));
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
        EXPECT_EQ(run.out, Line("Syntax: gridport <mapfile> <rss/vsp file> <rmpfile>"));
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
    test::RtsTile clear;
    clear.pixels.assign(24 * 12 * 4, 0);
    rts.tiles.push_back(clear);
    EXPECT_EQ(ReadDiskFile(work / "town.rmp"), ExpectedVersion1(TownMap(), rts));
}

// Both layers span several read blocks and write buffers, and the tiles have
// an odd size: the output is still the layout, byte for byte.
TEST_F(Cli, LargeMapWithOddSizedTilesConvertsByteForByte) {
    RtsFile rts = PatternRts(300, 7, 3);
    rts.tiles[299].segments = {{6, 2, 0, 1}, {1, 1, 5, 2}};
    MapV1File map;
    map.width = 300;
    map.height = 257;
    for (std::size_t i = 0; i < std::size_t{map.width} * map.height; ++i) {
        map.background.push_back(static_cast<std::uint16_t>(i * 7 % 300));
        map.foreground.push_back(static_cast<std::uint16_t>(i / 11 % 300));
    }
    Put("large.map", map.Build());
    Put("tiles.rts", rts.Build());
    ASSERT_EQ(Gridport({"large.map", "tiles.rts", "large.rmp"}).status, 0);
    test::RtsTile clear;
    clear.pixels.assign(7 * 3 * 4, 0);
    rts.tiles.push_back(clear);
    EXPECT_EQ(ReadDiskFile(work / "large.rmp"), ExpectedVersion1(map, rts));
}

TEST_F(Cli, SaveFailures) {
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", PatternVsp(5).Build());
    // An empty output path is a path like any other, and no file has it.
    for (const std::string output : {"no/such/dir/out.rmp", ""}) {
        const Outcome run = Gridport({"town.map", "tiles.vsp", output});
        EXPECT_EQ(run.status, 1) << output;
        EXPECT_EQ(run.out, Line("Error: Could not save RMP '" + output + "'"));
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.Path()), std::filesystem::directory_iterator()), 2);
    Outcome run;
    // Under Wine, /dev/full is reached as Z:\dev\full on the drive that maps /.
    if (std::filesystem::exists("/dev/full")) {
        run = Gridport({"town.map", "tiles.vsp", "/dev/full"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, Line("Error: Could not save RMP '/dev/full'"));
    }
}

TEST_F(Cli, SaveFailsOntoADirectoryAndIntoAReadOnlyDirectory) {
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", PatternVsp(5).Build());
    std::filesystem::create_directory(work / "out.rmp");
    Outcome run = Gridport({"town.map", "tiles.vsp", "out.rmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Line("Error: Could not save RMP 'out.rmp'"));
    EXPECT_TRUE(std::filesystem::is_directory(work / "out.rmp"));

    // The superuser writes into read-only directories, so as root the command
    // runs as the user nobody (uid 65534), which needs setpriv. Wine keeps its
    // prefix for the user who made it and won't start for another one.
    if (WindowsTarget()) {
        GTEST_SKIP() << "under Wine the command can't run as another user, to whom a directory is read-only";
    }
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
    run = Gridport({"town.map", "tiles.vsp", "locked/out.rmp"}, "", prefix);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Line("Error: Could not save RMP 'locked/out.rmp'"));
    EXPECT_FALSE(Exists("locked/out.rmp"));
    // A read-only file is not replaced either, although its folder is open.
    if (WasiTarget()) {
        GTEST_SKIP() << "WASI has no permission bits, so a read-only file looks writable there";
    }
    Put("read-only.rmp", Bytes{1, 2});
    std::filesystem::permissions(work / "read-only.rmp", perms::owner_read | perms::group_read | perms::others_read);
    run = Gridport({"town.map", "tiles.vsp", "read-only.rmp"}, "", prefix);
    EXPECT_EQ(run.out, Line("Error: Could not save RMP 'read-only.rmp'"));
    EXPECT_EQ(ReadDiskFile(work / "read-only.rmp"), (Bytes{1, 2}));
    // The same user can convert into the working directory.
    EXPECT_EQ(Gridport({"town.map", "tiles.vsp", "open.rmp"}, "", prefix).status, 0);
}

// The output may not be one of the inputs, however it is spelt. The check
// comes after a successful import and leaves every file as it was.
TEST_F(Cli, AnOutputThatIsAnInputIsRefused) {
    const Bytes map = TownMap().Build();
    const Bytes vsp = PatternVsp(5).Build();
    Put("maps/town.map", map);
    Put("maps/tiles.vsp", vsp);
    for (const std::string name : {"town.map", "tiles.vsp"}) {
        std::filesystem::create_hard_link(work / ("maps/" + name), work / ("maps/hard-" + name));
        std::filesystem::create_symlink(name, work / ("maps/soft-" + name));
    }
    for (const std::string output :
         {"maps/town.map", "./maps/town.map", "maps/../maps/town.map", "maps/hard-town.map", "maps/soft-town.map",
          "maps/tiles.vsp", "./maps/tiles.vsp", "maps/../maps/tiles.vsp", "maps/hard-tiles.vsp",
          "maps/soft-tiles.vsp"}) {
        const Outcome run = Gridport({"maps/town.map", "maps/tiles.vsp", output});
        EXPECT_EQ(run.status, 1) << output;
        EXPECT_EQ(run.out, Line("Error: Could not save RMP '" + output + "'"));
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(ReadDiskFile(work / "maps/town.map"), map) << output;
        EXPECT_EQ(ReadDiskFile(work / "maps/tiles.vsp"), vsp) << output;
        EXPECT_TRUE(std::filesystem::is_symlink(work / "maps/soft-town.map"));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work / "maps"),
                                std::filesystem::directory_iterator()),
                  6);
    }
    // An import that fails still says so.
    const Outcome run = Gridport({"maps/town.map", "maps/missing.vsp", "maps/town.map"});
    EXPECT_EQ(run.out, Line("Error: Could not import MAP 'maps/town.map' 'maps/missing.vsp'"));
    EXPECT_EQ(ReadDiskFile(work / "maps/town.map"), map);
}

// A new output replaces the old one whole: the old file's permission bits
// stay, a symbolic link stays and its file is replaced, other hard links
// keep the old bytes, and nothing is left beside it.
TEST_F(Cli, TheOutputReplacesTheOldFileWhole) {
    const VspFile vsp = PatternVsp(5);
    const Bytes expected = ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true));
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", vsp.Build());
    Put("private.rmp", Bytes{1, 2, 3});
    Put("target.rmp", Bytes{4, 5});
    std::filesystem::create_symlink("target.rmp", work / "link.rmp");
    std::filesystem::create_hard_link(work / "target.rmp", work / "other-name.rmp");
    using std::filesystem::perms;
    std::filesystem::permissions(work / "private.rmp", perms::owner_read | perms::owner_write);
    for (const std::string output : {"private.rmp", "link.rmp", "new.rmp"}) {
        EXPECT_EQ(Gridport({"town.map", "tiles.vsp", output}).status, 0) << output;
        EXPECT_EQ(ReadDiskFile(work / output), expected) << output;
    }
    // WASI has no permission bits to carry over or to take from the umask.
    if (!WindowsTarget() && !WasiTarget()) {
        EXPECT_EQ(std::filesystem::status(work / "private.rmp").permissions(), perms::owner_read | perms::owner_write);
        const mode_t mask = umask(0);
        umask(mask);
        EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(work / "new.rmp").permissions()), 0666 & ~mask);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(work / "link.rmp"));
    EXPECT_EQ(ReadDiskFile(work / "target.rmp"), expected);
    EXPECT_EQ(ReadDiskFile(work / "other-name.rmp"), (Bytes{4, 5}));
    EXPECT_EQ(Entries(), 7U);
}

// Devices and pipes are written in place, as always: /dev/null takes the
// file, and a pipe streams it.
TEST_F(Cli, DevicesAndPipesAreWrittenInPlace) {
    if (WindowsTarget() || !std::filesystem::exists("/dev/null")) {
        GTEST_SKIP() << "needs /dev/null and a POSIX shell pipe for the command";
    }
    const VspFile vsp = PatternVsp(5);
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", vsp.Build());
    EXPECT_EQ(Gridport({"town.map", "tiles.vsp", "/dev/null"}).status, 0);
    if (WasiTarget()) {
        GTEST_SKIP() << "under WASI /dev/stdout is a link out of the folders the program is given";
    }
    const std::string line = "cd " + Quoted(work.Path().string()) + " && " + Command() +
                             " town.map tiles.vsp /dev/stdout | cat >" + Quoted(capture / "piped");
    EXPECT_EQ(std::system(line.c_str()), 0);
    EXPECT_EQ(ReadDiskFile(capture / "piped"), ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true)));
    EXPECT_EQ(Entries(), 2U);
}

// Mounts a small tmpfs at a folder for as long as the object lives.
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& folder, const std::string& size) : folder_(folder) {
        std::filesystem::create_directories(folder);
        const std::string command = "mount -t tmpfs -o size=" + size + " tmpfs " + Quoted(folder.string()) +
                                    " >/dev/null 2>&1";
        mounted_ = std::system(command.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            const std::string command = "umount " + Quoted(folder_.string());
            static_cast<void>(std::system(command.c_str()));
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

// A disk that fills up during the write: the save fails, an older output is
// still there byte for byte, and no temporary file is left.
TEST_F(Cli, AFullDiskLeavesTheOldOutputAsItWas) {
    const SmallDisk disk(work.Path() / "small", "16k");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a 16 KiB tmpfs here (it needs root and the mount command)";
    }
    const VspFile vsp = PatternVsp(5);
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", vsp.Build());
    MapV1File large = TownMap();
    large.width = 100;
    large.height = 100;
    large.background.assign(10000, 1);
    large.foreground.assign(10000, 2);
    Put("large.map", large.Build());
    ASSERT_EQ(Gridport({"town.map", "tiles.vsp", "small/old.rmp"}).status, 0);
    const Bytes old = ReadDiskFile(work / "small/old.rmp");
    for (const std::string output : {"small/old.rmp", "small/new.rmp"}) {
        const Outcome run = Gridport({"large.map", "tiles.vsp", output});
        EXPECT_EQ(run.status, 1) << output;
        EXPECT_EQ(run.out, Line("Error: Could not save RMP '" + output + "'"));
        EXPECT_EQ(ReadDiskFile(work / "small/old.rmp"), old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work / "small"),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

TEST_F(Cli, ATilesetOf65535TilesCantTakeTheTransparentTile) {
    MapV1File map = TownMap();
    map.background = {65534, 0, 0, 0, 0, 0};
    Put("town.map", map.Build());
    Put("tiles.rts", PatternRts(65535, 1, 1).Build());
    Outcome run = Gridport({"town.map", "tiles.rts", "town.rmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Line("Error: Could not save RMP 'town.rmp'"));
    EXPECT_FALSE(Exists("town.rmp"));
    // One tile fewer fits.
    Put("tiles.rts", PatternRts(65534, 1, 1).Build());
    map.background[0] = 65533;
    Put("town.map", map.Build());
    EXPECT_EQ(Gridport({"town.map", "tiles.rts", "town.rmp"}).status, 0);
    // The same with a compressed VSP tileset, whose 16 x 16 tiles take some
    // 70 MB: under Node's WASI this once crashed Node itself.
    map.background[0] = 65534;
    Put("town.map", map.Build());
    Put("tiles.vsp", PatternVsp(65535, 1).Build());
    run = Gridport({"town.map", "tiles.vsp", "town.rmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Line("Error: Could not save RMP 'town.rmp'"));
    EXPECT_EQ(run.err, "");
}

TEST_F(Cli, ReadsAMapFileOver2GiB) {
    // The zeros after the map make the file sparse, so they cost no disk
    // space; its size needs more than 31 bits, which a 32-bit tell can't give.
    const VspFile vsp = PatternVsp(5);
    Put("town.map", TownMap().Build());
    std::filesystem::resize_file(work / "town.map", std::uintmax_t{3} << 30);
    Put("tiles.vsp", vsp.Build());
    const Outcome run = Gridport({"town.map", "tiles.vsp", "town.rmp"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadDiskFile(work / "town.rmp"), ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true)));
}

// Sizes that don't fit 32 bits: a 65535 x 65535 layer, and declared sizes
// whose byte counts wrap around in 32 bits to what the file does hold. Each
// file holds far less than it declares, so every build, the 32-bit ones
// included, must refuse it before allocating, never crash or convert.
TEST_F(Cli, DeclaredSizesBeyond32BitsFailTheImport) {
    Put("tiles.vsp", PatternVsp(5).Build());
    MapV1File huge;
    huge.width = 65535;
    huge.height = 65535;
    huge.background.assign(1000, 1);
    // 4 x 65535 x 16385 bytes of cells wrap around to 196604 in 32 bits.
    MapV1File wrapping = huge;
    wrapping.height = 16385;
    wrapping.background.assign(196604 / 2, 1);
    MapV2File layers;
    layers.order = "1";
    layers.layers.assign(7, MapV2Layer{65535, 65535, {}, std::vector<std::uint16_t>{0xFFFF, 1}});
    for (const Bytes& map : {huge.Build(), wrapping.Build(), layers.Build()}) {
        Put("huge.map", map);
        ExpectImportFailure("huge.map", "tiles.vsp");
    }
    // 32768 x 32768 pixels take 2^32 bytes: none at all in 32 bits.
    RtsFile tiles = PatternRts(5, 1, 1);
    tiles.tileWidth = 32768;
    tiles.tileHeight = 32768;
    Put("town.map", TownMap().Build());
    Put("tiles.rts", tiles.Build());
    ExpectImportFailure("town.map", "tiles.rts");
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

// Cases that only a Windows build can show: its file system ignores letter
// case and takes both separators, and the exact-name check enters and leaves
// directories of the running process.
class WindowsCli : public Cli {
protected:
    void SetUp() override {
        if (!WindowsTarget()) {
            GTEST_SKIP() << "Windows build only (make test-windows sets GRIDPORT_TARGET=windows)";
        }
    }

    void ExpectConverts(const std::vector<std::string>& arguments, const Bytes& expected,
                        const std::string& from = "") {
        const Outcome run = Gridport(arguments, from);
        EXPECT_EQ(run.status, 0) << arguments[0];
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(ReadDiskFile(work / (std::filesystem::path(from) / arguments[2]).string()), expected);
    }
};

TEST_F(WindowsCli, LetterCaseCountsAlthoughTheFileSystemIgnoresIt) {
    const VspFile vsp = PatternVsp(5);
    Put("Maps/town.map", TownMap().Build());
    Put("tiles.vsp", vsp.Build());
    Put("Maps/town.rmp", Bytes{1, 2, 3});
    // The file system finds names in any letter case: writing Maps\TOWN.RMP
    // replaces Maps/town.rmp instead of making a second file.
    EXPECT_EQ(Gridport({"Maps\\town.map", "tiles.vsp", "Maps\\TOWN.RMP"}).status, 0);
    EXPECT_EQ(ReadDiskFile(work / "Maps/town.rmp"), ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true)));
    EXPECT_FALSE(Exists("Maps/TOWN.RMP"));
    // Only the check keeps reads to the exact spelling.
    ExpectImportFailure("Maps\\Town.MAP", "tiles.vsp");
    ExpectImportFailure("Maps/TOWN.map", "tiles.vsp");
    ExpectImportFailure("Maps\\town.map", "TILES.VSP");
}

// The file system ignores letter case, so another spelling of the MAP is
// the MAP itself, and the output may not be it.
TEST_F(WindowsCli, AnOutputThatIsTheMapInAnotherLetterCaseIsRefused) {
    const Bytes map = TownMap().Build();
    Put("Maps/town.map", map);
    Put("tiles.vsp", PatternVsp(5).Build());
    for (const std::string output : {"Maps\\TOWN.MAP", "maps/Town.map", "TILES.VSP"}) {
        const Outcome run = Gridport({"Maps\\town.map", "tiles.vsp", output});
        EXPECT_EQ(run.status, 1) << output;
        EXPECT_EQ(run.out, Line("Error: Could not save RMP '" + output + "'"));
        EXPECT_EQ(ReadDiskFile(work / "Maps/town.map"), map);
        EXPECT_EQ(Entries(), 2U);
    }
}

TEST_F(WindowsCli, PathsAreCutAtTheLastBackslash) {
    const VspFile vsp = PatternVsp(5, 1);
    const Bytes expected = ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true));
    Put("Maps/town.map", TownMap().Build());
    Put("Maps/Sub/town.map", TownMap().Build());
    Put("Maps/TILES.Vsp", vsp.Build());
    // TILES.Vsp ends in .vsp in another letter case, so it is read as VSP.
    ExpectConverts({"Maps\\town.map", "Maps\\TILES.Vsp", "a.rmp"}, expected);
    ExpectConverts({"Maps/town.map", "Maps/TILES.Vsp", "b.rmp"}, expected);
    ExpectConverts({"Maps\\Sub\\town.map", ".\\Maps\\TILES.Vsp", "c.rmp"}, expected);
    // The name part of Maps\Sub/town.map is Sub/town.map, which Maps doesn't
    // list, although the file system would open Maps/Sub/town.map.
    ExpectImportFailure("Maps\\Sub/town.map", "Maps\\TILES.Vsp");
    ExpectImportFailure("Maps\\", "Maps\\TILES.Vsp");
    ExpectImportFailure("Missing\\town.map", "Maps\\TILES.Vsp");
}

// Gives a folder a drive letter of its own in the Wine prefix, for as long as
// the object lives, so that the folder is the root of a drive.
class DriveLetter {
public:
    DriveLetter(const std::filesystem::path& prefix, const std::filesystem::path& folder) {
        for (char letter = 'd'; letter <= 'y' && link_.empty(); ++letter) {
            const std::filesystem::path link = prefix / "dosdevices" / (std::string(1, letter) + ":");
            std::error_code taken;
            std::filesystem::create_directory_symlink(folder, link, taken);
            if (!taken) {
                link_ = link;
            }
        }
    }
    ~DriveLetter() {
        std::error_code ignored;
        std::filesystem::remove(link_, ignored);
    }
    DriveLetter(const DriveLetter&) = delete;
    DriveLetter& operator=(const DriveLetter&) = delete;

    bool Made() const { return !link_.empty(); }

private:
    std::filesystem::path link_;
};

TEST_F(WindowsCli, ALeadingBackslashComparesWithTheCurrentDirectory) {
    const char* prefix = std::getenv("GRIDPORT_WINEPREFIX");
    if (prefix == nullptr || *prefix == '\0') {
        GTEST_SKIP() << "needs GRIDPORT_WINEPREFIX, the Wine prefix in which the case's folder gets a drive letter";
    }
    const DriveLetter drive(prefix, work.Path());
    ASSERT_TRUE(drive.Made()) << "no free drive letter in " << prefix;
    // The folder is the drive's root; gridport runs in its folder "run".
    MapV1File root = TownMap();
    root.headerX = 77;
    Put("Town.map", root.Build());
    Put("run/town.map", TownMap().Build());
    const VspFile vsp = PatternVsp(5);
    Put("run/tiles.vsp", vsp.Build());
    // The check finds town.map in the current directory; the open then goes
    // to the root of the drive, where the file system takes Town.map.
    ExpectConverts({"\\town.map", "tiles.vsp", "a.rmp"}, ExpectedVersion1(root, RtsFromVsp(vsp, true)), "run");
    // An exact town.map in the root alone doesn't pass: the root isn't listed.
    std::filesystem::remove(work / "run/town.map");
    std::filesystem::rename(work / "Town.map", work / "town.map");
    ExpectImportFailure("\\town.map", "tiles.vsp", "run");
}

TEST_F(WindowsCli, TheCurrentDirectoryIsTheSameAfterEveryOpen) {
    // The second folder's name lies outside the 8-bit code page.
    for (const std::string folder : {"plain", "\xCE\xA9mega"}) {
        const VspFile vsp = PatternVsp(5);
        Put(folder + "/Maps/town.map", TownMap().Build());
        Put(folder + "/tiles.vsp", vsp.Build());
        // Had the check stayed in Maps, the tileset would come from here and
        // lack the tile that the map uses, and the RMP file would land here.
        Put(folder + "/Maps/tiles.vsp", PatternVsp(2).Build());
        ExpectConverts({"Maps\\town.map", "tiles.vsp", "a.rmp"}, ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true)),
                       folder);
        EXPECT_FALSE(Exists(folder + "/Maps/a.rmp"));
        // A failed check in Maps ends the run; the next one starts afresh.
        ExpectImportFailure("Maps\\Town.map", "tiles.vsp", folder);
    }
}

TEST_F(WindowsCli, PathsOf260BytesOrMoreFailCleanly) {
    std::string dots;
    for (int i = 0; i < 127; ++i) {
        dots += ".\\";
    }
    const VspFile vsp = PatternVsp(5);
    Put("x.map", TownMap().Build());
    Put("xy.map", TownMap().Build());
    Put("tiles.vsp", vsp.Build());
    ASSERT_EQ((dots + "x.map").size(), 259U);
    ExpectConverts({dots + "x.map", "tiles.vsp", "a.rmp"}, ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true)));
    ExpectImportFailure(dots + "xy.map", "tiles.vsp");
    ExpectImportFailure(dots + dots + dots + "x.map", "tiles.vsp");
    ExpectImportFailure("x.map", dots + ".\\tiles.vsp");
}

}  // namespace
}  // namespace gridport
