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
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/Background.h"
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
        const int raw = std::system(Shell(arguments, from, prefix).c_str());
        return Captured(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1);
    }
    // The shell line that runs command (gridport's by default) in the
    // working folder, with its output captured.
    std::string Shell(const std::vector<std::string>& arguments, const std::string& from = "",
                      const std::string& prefix = "", const std::string& command = Command()) const {
        std::string line = "cd " + Quoted((work.Path() / from).string()) + " && " + prefix + command;
        for (const std::string& argument : arguments) {
            line.append(" ").append(Quoted(argument));
        }
        return line + " >" + Quoted(capture / "out") + " 2>" + Quoted(capture / "err") + " </dev/null";
    }
    Outcome Captured(int status) const { return {status, Slurp(capture / "out"), Slurp(capture / "err")}; }

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

// Mounts something ("mount OPTIONS WHAT WHERE") for as long as the object
// lives, when the system lets this user mount.
class Mount {
public:
    Mount(const std::string& options, const std::string& what, const std::filesystem::path& where) : where_(where) {
        const std::string command = "mount " + options + " " + Quoted(what) + " " + Quoted(where.string()) +
                                    " >/dev/null 2>&1";
        mounted_ = std::system(command.c_str()) == 0;
    }
    ~Mount() {
        if (mounted_) {
            const std::string command = "umount " + Quoted(where_.string());
            static_cast<void>(std::system(command.c_str()));
        }
    }
    Mount(const Mount&) = delete;
    Mount& operator=(const Mount&) = delete;

    bool Mounted() const { return mounted_; }

private:
    std::filesystem::path where_;
    bool mounted_ = false;
};

// A tmpfs of the given size at folder.
Mount SmallDisk(const std::filesystem::path& folder, const std::string& size) {
    std::filesystem::create_directories(folder);
    return Mount("-t tmpfs -o size=" + size, "tmpfs", folder);
}

// A disk that fills up during the write: the save fails, an older output is
// still there byte for byte, and no temporary file is left.
TEST_F(Cli, AFullDiskLeavesTheOldOutputAsItWas) {
    const Mount disk = SmallDisk(work.Path() / "small", "16k");
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

#ifndef _WIN32
// The cases below need POSIX signals, FIFOs, other users or mounts, and run
// only the binaries built with this suite.
bool NativeCommand() {
    const char* command = std::getenv("GRIDPORT_COMMAND");
    return !WindowsTarget() && !WasiTarget() && (command == nullptr || *command == '\0');
}

// A viewer built beside gridport, or "" when there is none.
std::string Viewer(const std::string& name) {
    const std::filesystem::path path = std::filesystem::path(GRIDPORT_BINARY).parent_path() / name;
    return std::filesystem::exists(path) ? GRIDPORT_EMULATOR " " + Quoted(path.string()) : "";
}

// As root, a case about other users' files runs the command as nobody.
bool CanBeNobody() {
    return geteuid() == 0 && std::system("command -v setpriv >/dev/null 2>&1") == 0;
}
const std::string kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

// The name of a temporary file of ours in folder, or "".
std::string TemporaryIn(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".gridport-") != std::string::npos) {
            return entry.path().filename().string();
        }
    }
    return "";
}

// Waits up to 20 seconds for check to hold.
template <typename Check>
bool Eventually(Check check) {
    for (int wait = 0; wait < 20000; ++wait) {
        if (check()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// The status as a shell gives it, 128 + N after signal N; -1 when the run
// hasn't ended within 20 seconds.
int ShellStatus(test::Background& run) {
    const int raw = run.Wait(std::chrono::seconds(20));
    return raw == -1 ? -1 : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : WEXITSTATUS(raw);
}

// A map whose RMP file is 1 MB, and a picture of 8192 x 8192 pixels.
MapV1File BigMap() {
    MapV1File map;
    map.width = 512;
    map.height = 512;
    map.background.assign(512 * 512, 1);
    map.foreground.assign(512 * 512, 2);
    return map;
}

// A signal in the middle of the write removes the temporary file and ends
// the program by that signal; the old output stays. gridport (which refuses
// a FIFO as its map) is stopped as soon as its temporary file is there, and
// gets the signal when it goes on, with the output open; a viewer gets it
// while it encodes the picture. The last row stages the file in TMPDIR, for a folder that takes
// no new file.
TEST_F(Cli, ASignalMidWriteRemovesTheTemporaryFileAndEndsTheProgramByIt) {
    if (!NativeCommand()) {
        GTEST_SKIP() << "needs POSIX signals and FIFOs, and the binaries built here";
    }
    if (std::string(GRIDPORT_EMULATOR) != "") {
        // Signals reach the program through qemu's user mode, which handles
        // them its own way: there the case ran for minutes and failed.
        GTEST_SKIP() << "signals reach the program through the emulator";
    }
    const Bytes map = BigMap().Build();
    Put("big.map", map);
    Put("tiles.vsp", PatternVsp(5).Build());
    ASSERT_EQ(Gridport({"big.map", "tiles.vsp", "big.rmp"}).status, 0);
    struct Row {
        std::string command;
        std::vector<std::string> arguments;
        std::string from;    // the folder it runs in, which holds the output "old.png"
        std::string prefix;  // how it is run
        std::string staged;  // where its temporary file goes
    };
    MapV1File huge = BigMap();
    huge.width = huge.height = 2048;
    huge.background.assign(2048 * 2048, 1);
    huge.foreground.assign(2048 * 2048, 2);
    Put("huge.map", huge.Build());
    std::vector<Row> rows = {{Command(), {"huge.map", "tiles.vsp", "old.png"}, ".", "", "."},
                             {Viewer("rmpview"), {"--png", "old.png", "big.rmp"}, ".", "", "."},
                             {Viewer("mapview"), {"--png", "old.png", "big.map", "tiles.vsp"}, ".", "", "."}};
    using std::filesystem::perms;
    if (CanBeNobody()) {
        for (const std::string folder : {".", "tmp", "locked"}) {
            std::filesystem::create_directories(work / folder);
            std::filesystem::permissions(work / folder, perms::all);
        }
        std::filesystem::permissions(work / "locked", perms::owner_write | perms::group_write | perms::others_write,
                                     std::filesystem::perm_options::remove);
        rows.push_back({Command(), {"../huge.map", "../tiles.vsp", "old.png"}, "locked",
                        "env TMPDIR=" + Quoted(work / "tmp") + " " + kAsNobody, "tmp"});
    }
    const Bytes old{1, 2, 3};
    for (const Row& row : rows) {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            if (row.command.empty()) {
                continue;  // a viewer that isn't built
            }
            const std::string output = work / (row.from + "/old.png");
            WriteDiskFile(output, old);
            std::filesystem::permissions(output, perms::all);
            test::Background run(Shell(row.arguments, row.from, "exec " + row.prefix, row.command));
            const bool stops = row.arguments[0].find("huge") != std::string::npos;
            EXPECT_TRUE(Eventually([&] { return !TemporaryIn(work / row.staged).empty(); })) << row.command;
            if (stops) {
                run.Signal(SIGSTOP);
                EXPECT_NE(TemporaryIn(work / row.staged), "") << "gridport ended before it was stopped";
            }
            run.Signal(signal);
            if (stops) {
                run.Signal(SIGCONT);
            }
            EXPECT_EQ(ShellStatus(run), 128 + signal) << row.command << " " << signal;
            EXPECT_EQ(ReadDiskFile(output), old) << row.command << " " << signal;
            EXPECT_EQ(TemporaryIn(work / row.staged), "");
            EXPECT_EQ(Slurp(capture / "err"), "");
        }
    }
}
// A FIFO or a device named as the map or the tileset is refused by its kind
// before it is opened: no writer ever comes, and an open would wait for one.
TEST_F(Cli, AFifoOrADeviceAsAnInputIsRefusedWithoutWaiting) {
    if (!NativeCommand()) {
        GTEST_SKIP() << "needs FIFOs and the binaries built here";
    }
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", PatternVsp(5).Build());
    ASSERT_EQ(mkfifo((work / "fifo.map").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((work / "fifo.vsp").c_str(), 0600), 0);
    for (const auto& [map, tiles] : {std::pair{"fifo.map", "tiles.vsp"}, std::pair{"town.map", "fifo.vsp"},
                                     std::pair{"/dev/zero", "tiles.vsp"}}) {
        const Outcome run = Gridport({map, tiles, "out.rmp"}, "", "timeout 20 ");
        EXPECT_EQ(run.status, 1) << map << " " << tiles;
        EXPECT_EQ(run.out, Line(std::string("Error: Could not import MAP '") + map + "' '" + tiles + "'"));
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(Exists("out.rmp"));
    }
}

// An output that is a FIFO nobody reads blocks its open; Ctrl-C then ends
// each command by the signal within a second, with no file left.
TEST_F(Cli, CtrlCDuringABlockedOpenEndsTheProgramAtOnce) {
    if (!NativeCommand() || std::string(GRIDPORT_EMULATOR) != "") {
        GTEST_SKIP() << "needs POSIX signals and FIFOs, and the binaries built here, not emulated";
    }
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", PatternVsp(5).Build());
    ASSERT_EQ(Gridport({"town.map", "tiles.vsp", "town.rmp"}).status, 0);
    ASSERT_EQ(mkfifo((work / "out.png").c_str(), 0600), 0);
    const std::vector<std::pair<std::string, std::vector<std::string>>> rows = {
        {Command(), {"town.map", "tiles.vsp", "out.png"}},
        {Viewer("rmpview"), {"--png", "out.png", "town.rmp"}},
        {Viewer("mapview"), {"--png", "out.png", "town.map", "tiles.vsp"}}};
    for (const auto& [command, arguments] : rows) {
        if (command.empty()) {
            continue;  // a viewer that isn't built
        }
        test::Background run(Shell(arguments, "", "exec ", command));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto signalled = std::chrono::steady_clock::now();
        run.Signal(SIGINT);
        EXPECT_EQ(ShellStatus(run), 128 + SIGINT) << command;
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1)) << command;
        EXPECT_EQ(TemporaryIn(work.Path()), "") << command;
    }
}

// A reader that goes away: gridport's save fails with its line; a viewer
// that writes its picture to standard output ends quietly, as filters end.
// Over the file-size limit the save fails too. No file is left either way.
TEST_F(Cli, ABrokenPipeOrTheFileSizeLimitIsASaveFailure) {
    if (!NativeCommand()) {
        GTEST_SKIP() << "needs FIFOs, ulimit and the binaries built here";
    }
    Put("big.map", BigMap().Build());
    Put("tiles.vsp", PatternVsp(5).Build());
    ASSERT_EQ(mkfifo((work / "out.fifo").c_str(), 0600), 0);
    const std::string head = "cd " + Quoted(work.Path().string()) + " && head -c 10 out.fifo >/dev/null &";
    ASSERT_EQ(std::system(head.c_str()), 0);
    Outcome run = Gridport({"big.map", "tiles.vsp", "out.fifo"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Line("Error: Could not save RMP 'out.fifo'"));
    EXPECT_EQ(run.err, "");
    Put("old.rmp", Bytes{1, 2, 3});
    for (const std::string output : {"old.rmp", "new.rmp"}) {
        // 1000 blocks: half the RMP's 1 MiB, yet room for a coverage build's counters, written at exit.
        run = Gridport({"big.map", "tiles.vsp", output}, "", "ulimit -f 1000 && ");
        EXPECT_EQ(run.status, 1) << output;
        EXPECT_EQ(run.out, Line("Error: Could not save RMP '" + output + "'"));
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(ReadDiskFile(work / "old.rmp"), (Bytes{1, 2, 3}));
        EXPECT_EQ(Entries(), 4U);
    }
    ASSERT_EQ(Gridport({"big.map", "tiles.vsp", "big.rmp"}).status, 0);
    const std::string rmpview = Viewer("rmpview");
    if (rmpview.empty()) {
        GTEST_SKIP() << "rmpview isn't built";
    }
    const std::string line = "cd " + Quoted(work.Path().string()) + " && { " + rmpview + " --png - big.rmp 2>" +
                             Quoted(capture / "err") + "; echo $? >" + Quoted(capture / "status") +
                             "; } | head -c 10 >/dev/null";
    ASSERT_EQ(std::system(line.c_str()), 0);
    EXPECT_EQ(Slurp(capture / "status"), "141\n");
    EXPECT_EQ(Slurp(capture / "err"), "");
    EXPECT_EQ(Entries(), 5U);
}

// Every name that can exist can be written: the temporary file's name is
// cut to the folder's limit of 255 bytes, never inside a UTF-8 character.
TEST_F(Cli, NamesUpTo255BytesAreWrittenAndReplaced) {
    if (WindowsTarget()) {
        GTEST_SKIP() << "a Windows path stops at 260 characters, fewer than a folder and a 255-byte name";
    }
    const VspFile vsp = PatternVsp(5);
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", vsp.Build());
    std::string accented;
    for (int i = 0; i < 125; ++i) {
        accented += "\xC3\xA9";
    }
    for (const std::string& name : {std::string(234, 'n') + ".rmp", std::string(235, 'n') + ".rmp",
                                   std::string(251, 'n') + ".rmp", accented + ".rmp"}) {
        for (int time = 0; time < 2; ++time) {
            EXPECT_EQ(Gridport({"town.map", "tiles.vsp", name}).status, 0) << name.size();
            EXPECT_EQ(ReadDiskFile(work / name), ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true)));
        }
        std::filesystem::remove(work / name);
        EXPECT_EQ(Entries(), 2U);
    }
    const std::string tooLong = std::string(252, 'n') + ".rmp";
    EXPECT_EQ(Gridport({"town.map", "tiles.vsp", tooLong}).out, Line("Error: Could not save RMP '" + tooLong + "'"));
}
// An existing output keeps its owner, group and mode. A rename keeps them
// where the system lets the new file have them; elsewhere the new bytes go
// into the existing file in place, which its other hard links then see: a
// file of another user, one in a folder that takes no new file (staged in
// TMPDIR), one mounted onto the path. A failure on that way (an import that
// fails, a disk without room for the new bytes) leaves the old bytes.
TEST_F(Cli, ExistingOutputsKeepTheirOwnerGroupAndMode) {
    if (!NativeCommand() || !CanBeNobody()) {
        GTEST_SKIP() << "needs root and setpriv, to run gridport as nobody on root's files and back";
    }
    const VspFile vsp = PatternVsp(5);
    const Bytes expected = ExpectedVersion1(TownMap(), RtsFromVsp(vsp, true));
    const Bytes old{1, 2, 3};
    Put("town.map", TownMap().Build());
    Put("tiles.vsp", vsp.Build());
    Put("broken.map", Bytes{4, 0, 0});
    Put("big.map", BigMap().Build());
    const Mount disk = SmallDisk(work.Path() / "small", "16k");
    using std::filesystem::perms;
    for (const std::string folder : {".", "tmp", "shared", "locked", "small/locked"}) {
        std::filesystem::create_directories(work / folder);
        std::filesystem::permissions(work / folder, perms::all);
    }
    struct Row {
        std::string output;
        uid_t owner;  // of the old file, and its group's number
        bool asNobody;
        std::string map;
        std::string line;  // gridport's, "" when it converts
        bool inPlace;
    };
    const std::string import = "Error: Could not import MAP 'broken.map' 'tiles.vsp'";
    const std::vector<Row> rows = {{"shared/nobodys.rmp", 65534, false, "town.map", "", false},
                                   {"shared/roots.rmp", 0, true, "town.map", "", true},
                                   {"locked/writable.rmp", 0, true, "town.map", "", true},
                                   {"shared/broken.rmp", 0, true, "broken.map", import, false},
                                   {"small/locked/full.rmp", 0, true, "big.map",
                                    "Error: Could not save RMP 'small/locked/full.rmp'", false}};
    for (const Row& row : rows) {
        Put(row.output, old);
        ASSERT_EQ(chown((work / row.output).c_str(), row.owner, row.owner), 0);
        std::filesystem::permissions(work / row.output, static_cast<perms>(0646));
        std::filesystem::create_hard_link(work / row.output, work / (row.output + ".link"));
    }
    for (const std::string folder : {"locked", "small/locked"}) {
        std::filesystem::permissions(work / folder, static_cast<perms>(0555));
    }
    for (const Row& row : rows) {
        if (row.output.rfind("small/", 0) == 0 && !disk.Mounted()) {
            continue;  // no tmpfs to fill
        }
        const Outcome run = Gridport({row.map, "tiles.vsp", row.output}, "",
                                     "env TMPDIR=" + Quoted(work / "tmp") + " " + (row.asNobody ? kAsNobody : ""));
        EXPECT_EQ(run.status, row.line.empty() ? 0 : 1) << row.output;
        EXPECT_EQ(run.out, row.line.empty() ? "" : Line(row.line));
        EXPECT_EQ(ReadDiskFile(work / row.output), row.line.empty() ? expected : old) << row.output;
        EXPECT_EQ(ReadDiskFile(work / (row.output + ".link")), row.inPlace ? expected : old) << row.output;
        struct stat status {};
        ASSERT_EQ(stat((work / row.output).c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, row.owner) << row.output;
        EXPECT_EQ(status.st_gid, row.owner) << row.output;
        EXPECT_EQ(status.st_mode & 07777, 0646U) << row.output;
        EXPECT_EQ(TemporaryIn(work / std::filesystem::path(row.output).parent_path().string()), "");
        EXPECT_EQ(TemporaryIn(work / "tmp"), "");
    }
    // A file mounted onto the path can't be renamed over (EBUSY).
    Put("source.rmp", old);
    Put("mounted.rmp", {});
    const Mount bound("--bind", work / "source.rmp", work / "mounted.rmp");
    if (!bound.Mounted()) {
        GTEST_SKIP() << "cannot bind-mount a file here";
    }
    EXPECT_EQ(Gridport({"town.map", "tiles.vsp", "mounted.rmp"}).status, 0);
    EXPECT_EQ(ReadDiskFile(work / "source.rmp"), expected);
    EXPECT_EQ(TemporaryIn(work.Path()), "");
}
#endif

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
