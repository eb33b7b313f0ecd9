#include <gtest/gtest.h>
#include <png.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <thread>

#include "filesystem/DefaultFileSystem.h"
#include "support/Conversion.h"
#include "support/Files.h"
#include "support/TempDir.h"
#include "view/MapViewCommand.h"
#include "view/StandardStreams.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;

struct MapViewRun {
    std::string name;
    std::vector<std::string> arguments;
    int status;
    std::string out;  // the end of standard output
    std::string err;  // the whole of standard error
};

void PrintTo(const MapViewRun& run, std::ostream* os) {
    *os << run.name;
}

Bytes Cut(Bytes bytes, std::size_t removed) {
    bytes.resize(bytes.size() - removed);
    return bytes;
}

// Every input a case needs, under its own name.
void PutInputs(MemoryFileSystem& files) {
    test::MapV1File beyond = test::TownMap();
    beyond.foreground[4] = 5;
    test::VspFile lying = test::PatternVsp(5);
    lying.count = 6;
    Bytes lyingBytes = lying.Build();
    lyingBytes.resize(lyingBytes.size() - 256);
    test::RtsFile thin = test::PatternRts(5, 2, 3);
    thin.bitsPerPixel = 24;
    files.Put("town.map", test::TownMap().Build());
    files.Put("harbour.map", test::HarbourMap().Build());
    files.Put("short1.map", Cut(test::TownMap().Build(), 1));
    files.Put("short2.map", Cut(test::HarbourMap().Build(), 6));
    files.Put("beyond.map", beyond.Build());
    files.Put("tiles.vsp", test::PatternVsp(5).Build());
    files.Symlink("town.map", "town.png");
    files.Put("rts.vsp", test::PatternRts(5, 2, 3).Build());
    files.Put("tiles.rts", test::PatternRts(5, 2, 3).Build());
    files.Put("vsp.rts", test::PatternVsp(5).Build());
    // RTS signatures over what a VSP reader takes for 5 tiles, and for 1 tile, which town.map's indices pass.
    for (const std::uint8_t tiles : {5, 1}) {
        Bytes rtsLooking = test::PatternRts(5, 2, 3).Build();
        rtsLooking.resize(772 + 4 + 256 * std::size_t{tiles}, 0);
        rtsLooking[770] = tiles;
        rtsLooking[771] = 0;
        files.Put("rts" + std::to_string(tiles) + ".vsp", rtsLooking);
    }
    static const Bytes full = test::PatternRts(65535, 1, 1).Build();
    files.Put("full.rts", full);
    files.Put("lying.vsp", lyingBytes);
    files.Put("thin.rts", thin.Build());
}

class MapView : public ::testing::TestWithParam<MapViewRun> {};

TEST_P(MapView, PrintsAndEndsAsExpected) {
    // A MAP alone looks for its tileset on the disk: in an empty folder it finds none.
    const test::TempDir empty;
    const test::ScopedWorkingDirectory inside(empty.Path());
    MemoryFileSystem files;
    PutInputs(files);
    std::string out;
    std::string err;
    EXPECT_EQ(RunMapView(GetParam().arguments, files, out, err), GetParam().status);
    ASSERT_GE(out.size(), GetParam().out.size()) << out;
    EXPECT_EQ(out.substr(out.size() - GetParam().out.size()), GetParam().out);
    EXPECT_EQ(err, GetParam().err);
    EXPECT_EQ(files.OpenFiles(), 0);
    // A picture is drawn whenever the map's layers and the tileset read.
    const bool drawing = std::string(GetParam().name).rfind("picture", 0) == 0;
    EXPECT_EQ(files.Has("out.png"), drawing && GetParam().name != std::string("pictureOverTheTileset"));
}

const std::string kVerdict =
    "tileset: tiles.vsp: VSP tileset, 5 tiles of 16 x 16 pixels\n"
    "gridport converts it\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, MapView,
    ::testing::Values(
        MapViewRun{"version1",
                   {"town.map", "tiles.vsp"},
                   0,
                   "town.map: MAP file, version 1\n"
                   "header: x 3, y 65535, mode 4\n"
                   "tileset name stored in the map: \"town.vsp\"\n"
                   "file layers: 2\n"
                   "  layer 0 \"Background\": 3 x 2, 5 distinct tiles, largest index 4\n"
                   "  layer 1 \"Foreground\": 3 x 2, 4 distinct tiles, largest index 4\n"
                   "header layer: 1 (set by the header's layer selector)\n" +
                       kVerdict,
                   ""},
        MapViewRun{"version2",
                   {"harbour.map", "tiles.vsp"},
                   0,
                   "harbour.map: MAP file, version 2\n"
                   "header: x 40000, y 2\n"
                   "tileset name stored in the map: \"harbour\"\n"
                   "layer order: \"2x31E3\"\n"
                   "file layers: 4\n"
                   "  layer 0 \"Layer A\": 3 x 2, 3 distinct tiles, largest index 4; map layer 2\n"
                   "  layer 1 \"Layer B\": 2 x 2, 2 distinct tiles, largest index 3; map layer 0\n"
                   "  layer 2 \"Layer C\": 4 x 1, 1 distinct tile, largest index 4; repeated as map layers 1 "
                   "and 3\n"
                   "  layer 3 \"Layer D\": 0 x 5, 0 distinct tiles; dropped: the layer order doesn't name it\n"
                   "map layers: 4\n"
                   "header layer: 0 (file layer number, set by \"E\" in the layer order)\n" +
                       kVerdict,
                   ""},
        MapViewRun{"noTileset", {"town.map"}, 0,
                   "tileset found by the name stored in the map: none; the tileset \"town.vsp\" stored in the map "
                   "is in none of the folders .\n"
                   "the MAP file reads; its tile indices are checked against a TILESET, given or found\n", ""},
        MapViewRun{"missingMap", {"none.map", "tiles.vsp"}, 1, "", "mapview: none.map: cannot open: No such file or directory\n"},
        MapViewRun{"missingTileset", {"town.map", "none.vsp"}, 1, "", "mapview: none.vsp: cannot open: No such file or directory\n"},
        MapViewRun{"shortVersion1", {"short1.map", "tiles.vsp"}, 1, "",
                   "mapview: short1.map: byte 100: the pair of 3 x 2 layers needs 24 bytes, 23 are left\n"},
        MapViewRun{"shortVersion2", {"short2.map"}, 1, "",
                   "mapview: short2.map: byte 284: layer \"Layer C\" ends after 0 of its 4 cells\n"},
        MapViewRun{"indexBeyond", {"beyond.map", "tiles.vsp"}, 1, "",
                   "mapview: beyond.map: layer \"Foreground\" cell (1, 1) holds tile 5; the tileset has 5 tiles\n"},
        MapViewRun{"rtsNamedVsp", {"town.map", "rts.vsp"}, 1, "", "mapview: rts.vsp: byte 0: the 772-byte VSP header needs 772 bytes, 536 are left; "
                   "this looks like an RTS tileset file\n"},
        MapViewRun{"rtsReadAsVsp", {"town.map", "rts5.vsp"}, 0, "gridport converts it\n",
                   "mapview: note: rts5.vsp looks like an RTS tileset file; its name makes gridport read it as a VSP "
                   "tileset\n"},
        MapViewRun{"rtsReadAsTooFewTiles", {"town.map", "rts1.vsp"}, 1, "",
                   "mapview: town.map: layer \"Background\" cell (1, 0) holds tile 1; the tileset has 1 tile; the "
                   "tileset rts1.vsp looks like an RTS tileset file\n"},
        MapViewRun{"vspNamedRts", {"town.map", "vsp.rts"}, 1, "",
                   "mapview: vsp.rts: byte 0: not an RTS tileset file: it does not start with \".rts\"; this may be a "
                   "VSP tileset, which is read as one only by a name ending in .vsp\n"},
        MapViewRun{"tooManyTiles", {"town.map", "full.rts"}, 1, "",
                   "mapview: town.map: the RMP format holds at most 65535 tiles; the map needs 65536\n"},
        MapViewRun{"lyingVspCount", {"town.map", "lying.vsp"}, 1, "", "mapview: lying.vsp: byte 770: the header counts 6 tiles of 256 pixels, but the 1024 bytes left hold at "
                   "most 1024 pixels\n"},
        MapViewRun{"badRtsHeader", {"town.map", "thin.rts"}, 1, "",
                   "mapview: thin.rts: byte 12: the header field bits per pixel is 24; it must be 32\n"},
        MapViewRun{"notAMap", {"tiles.vsp"}, 1, "", "mapview: tiles.vsp: byte 0: not a MAP file: the first byte is not 4 (version 1) and the first six "
                   "bytes are not the version-2 signature 4D 41 50 F9 35 00\n"},
        MapViewRun{"pngWithoutTileset", {"--png", "out.png", "town.map"}, 1, "",
                   "mapview: town.map: the tileset \"town.vsp\" stored in the map is in none of the folders .; name "
                   "the TILESET to draw the map\n"},
        MapViewRun{"tilesetsWithTileset", {"--tilesets", "lib", "town.map", "tiles.vsp"}, 2, "",
                   "mapview: --tilesets is where to look for the map's tileset: it can't go with the TILESET\n"
                   "Usage: mapview [options] MAP [TILESET] [OUT.png | OUT.tmj]\n"},
        MapViewRun{"twiceStandardInput", {"-", "-"}, 2, "",
                   "mapview: only one input can be standard input\nUsage: mapview [options] MAP [TILESET] [OUT.png | OUT.tmj]\n"},
        MapViewRun{"pictureOfAFailingMap", {"--png", "out.png", "beyond.map", "tiles.vsp"}, 1, "",
                   "mapview: beyond.map: layer \"Foreground\" cell (1, 1) holds tile 5; the tileset has 5 tiles\n"},
        MapViewRun{"cutMapDrawn", {"--png", "out.png", "short2.map", "tiles.vsp"}, 1, "",
                   "mapview: short2.map: byte 284: layer \"Layer C\" ends after 0 of its 4 cells\n"},
        MapViewRun{"pictureOverTheTileset", {"--png", "town.png", "town.map", "tiles.vsp"}, 1, "",
                   "mapview: town.png: the picture may not replace the input town.map\n"},
        MapViewRun{"missingLayerName", {"--show-layer", "roof", "town.map", "tiles.vsp", "out.png"}, 2, "",
                   "mapview: town.map: there is no layer named \"roof\"; the layers are \"Background\", "
                   "\"Foreground\"\nUsage: mapview [options] MAP [TILESET] [OUT.png | OUT.tmj]\n"},
        MapViewRun{"tooManyInputs", {"a", "b", "c.png", "d"}, 2, "",
                   "mapview: too many operands\nUsage: mapview [options] MAP [TILESET] [OUT.png | OUT.tmj]\n"},
        MapViewRun{"picture", {"--png=out.png", "--scale=0.5", "harbour.map", "tiles.rts"}, 0, "", ""}),
    [](const auto& info) { return info.param.name; });

// Bytes on standard input through a pipe, which tells no size and can't
// seek, written by a thread of its own while the command reads.
class Pipe {
public:
    explicit Pipe(Bytes bytes) {
        // A reader that stops early ends the writer with EPIPE, not the test.
        std::signal(SIGPIPE, SIG_IGN);
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        input_ = fdopen(ends[0], "rb");
        writer_ = std::thread([out = ends[1], bytes = std::move(bytes)] {
            for (std::size_t done = 0; done < bytes.size();) {
                const ssize_t wrote = write(out, bytes.data() + done, bytes.size() - done);
                if (wrote <= 0) {
                    break;
                }
                done += static_cast<std::size_t>(wrote);
            }
            close(out);
        });
    }
    ~Pipe() {
        std::fclose(input_);
        writer_.join();
    }
    std::FILE* Input() const { return input_; }

private:
    std::FILE* input_ = nullptr;
    std::thread writer_;
};

TEST(MapView, AMapOnStandardInputStreamsFromAPipeOrAFile) {
    const test::MapV2File harbour = test::HarbourMap();
    std::FILE* redirected = std::tmpfile();
    const Bytes bytes = harbour.Build();
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), redirected), bytes.size());
    std::rewind(redirected);
    for (const bool piped : {true, false}) {
        MemoryFileSystem files;
        PutInputs(files);
        Pipe pipe(bytes);
        StandardStreamFileSystem streams(files, piped ? pipe.Input() : redirected, nullptr);
        std::string out;
        std::string err;
        // The summary and the verdict in one pass; the picture keeps a piped
        // map to read it again.
        EXPECT_EQ(RunMapView({"-", "tiles.vsp"}, streams, out, err), 0) << err;
        EXPECT_EQ(out.rfind("-: MAP file, version 2\n", 0), 0U) << out;
        EXPECT_NE(out.find("gridport converts it"), std::string::npos) << out;
        std::rewind(redirected);
        Pipe again(bytes);
        StandardStreamFileSystem drawn(files, piped ? again.Input() : redirected, nullptr);
        EXPECT_EQ(RunMapView({"--png", "out.png", "-", "tiles.vsp"}, drawn, out, err), 0) << err;
        EXPECT_TRUE(files.Has("out.png"));
        std::rewind(redirected);
    }
    std::fclose(redirected);
}

// mapview - tiles.vsp m.png < m.png: the MAP on standard input is the file the
// picture would replace.
TEST(MapView, APictureOverTheMapOnStandardInputIsRefused) {
    const test::TempDir folder;
    const Bytes map = test::TownMap().Build();
    test::WriteDiskFile(folder / "m.png", map);
    test::WriteDiskFile(folder / "tiles.vsp", test::PatternVsp(5).Build());
    std::FILE* input = std::fopen((folder / "m.png").c_str(), "rb");
    ASSERT_NE(input, nullptr);
    StandardStreamFileSystem streams(defaultFileSystem, input, nullptr);
    std::string out;
    std::string err;
    EXPECT_EQ(RunMapView({"-", folder / "tiles.vsp", folder / "m.png"}, streams, out, err), 1);
    EXPECT_EQ(err, "mapview: " + folder / "m.png" + ": the picture may not replace the input read from standard input\n");
    std::fclose(input);
    EXPECT_EQ(test::ReadDiskFile(folder / "m.png"), map);
}

TEST(MapView, APipeTooLargeToKeepForAPictureIsRefusedWithAReason) {
    MemoryFileSystem files;
    PutInputs(files);
    Bytes big = test::TownMap().Build();
    big.resize(9 << 20, 0);
    Pipe pipe(big);
    StandardStreamFileSystem streams(files, pipe.Input(), nullptr);
    std::string out;
    std::string err;
    EXPECT_EQ(RunMapView({"--png", "out.png", "-", "tiles.vsp"}, streams, out, err), 1);
    EXPECT_EQ(err, "mapview: -: a stream of more than " + std::to_string(kMostKeptInput >> 20) +
                       " MiB can't be kept to be read again; name the file instead\n");
    EXPECT_FALSE(files.Has("out.png"));
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// A map that doesn't convert is drawn all the same, named as tmxrasterizer
// takes it: the cell beyond the tileset, (1, 1) of 16 x 16 tiles, is the
// mark, crossed corner to corner; the reason is on stderr, status 1.
TEST(MapViewPicture, AMapThatFailsIsDrawnWithItsCellsBeyondTheTilesetMarked) {
    MemoryFileSystem files;
    PutInputs(files);
    std::string out;
    std::string err;
    EXPECT_EQ(RunMapView({"beyond.map", "tiles.vsp", "out.png"}, files, out, err), 1);
    EXPECT_EQ(err, "mapview: beyond.map: layer \"Foreground\" cell (1, 1) holds tile 5; the tileset has 5 tiles\n");
    const Bytes png = files.Get("out.png");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_memory(&image, png.data(), png.size()), 0);
    image.format = PNG_FORMAT_RGBA;
    Bytes rgba(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr), 0);
    const auto at = [&](std::size_t x, std::size_t y) {
        const std::size_t k = (y * image.width + x) * 4;
        return std::vector<int>{rgba[k], rgba[k + 1], rgba[k + 2], rgba[k + 3]};
    };
    EXPECT_EQ(at(16 + 1, 16), (std::vector<int>{255, 0, 255, 255}));
    EXPECT_EQ(at(16 + 5, 16 + 5), (std::vector<int>{0, 0, 0, 255}));
    // Hiding the only layers drawn is wrong usage.
    err.clear();
    EXPECT_EQ(RunMapView({"town.map", "tiles.vsp", "out.png", "--hide-layer", "background", "--hide-layer",
                          "foreground"},
                         files, out, err),
              2);
    EXPECT_EQ(err, "mapview: town.map: --hide-layer leaves no layer to draw\n"
                   "Usage: mapview [options] MAP [TILESET] [OUT.png | OUT.tmj]\n");
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// "-" is a stream the viewers don't own: a pipe neither tells nor seeks, a
// write error held back in the C library's buffer shows at the commit, and a
// pipe kept in memory reads, seeks within its bytes and refuses writes.
TEST(StandardStreams, StreamsFailWithReasonsAndAKeptPipeActsAsAReadOnlyFile) {
    MemoryFileSystem files;
    files.Put("named.map", Bytes{1, 2, 3});
    std::FILE* closedForWrites = std::fopen("/dev/null", "rb");
    ASSERT_NE(closedForWrites, nullptr);
    Pipe pipe(Bytes{7, 8, 9, 10});
    StandardStreamFileSystem streams(files, pipe.Input(), closedForWrites);

    EXPECT_FALSE(streams.SameFile("-", "named.map"));
    EXPECT_FALSE(streams.SameFile("named.map", "-"));
    EXPECT_TRUE(streams.SameFile("named.map", "named.map"));
    EXPECT_TRUE(streams.Open("named.map", OpenMode::Read));
    ASSERT_TRUE(streams.OpenOutput("out.png"));

    // Writing to a stream opened for reading fails at once or at the commit.
    Expected<std::unique_ptr<OutputFile>> out = streams.OpenOutput("-");
    ASSERT_TRUE(out);
    const std::uint8_t byte = 1;
    const Expected<void> wrote = (*out)->Write(&byte, 1);
    const Expected<void> committed = (*out)->Commit();
    ASSERT_FALSE(wrote && committed);
    if (!committed) {
        EXPECT_EQ(committed.error().Text(), "standard output: cannot write");
    }
    Expected<std::unique_ptr<File>> written = streams.Open("-", OpenMode::Write);
    ASSERT_TRUE(written);
    EXPECT_FALSE((*written)->Write(&byte, 1) && std::fflush(closedForWrites) == 0);

    // The pipe: no position, no size, no seeking; kept in memory it is a file.
    Expected<std::unique_ptr<File>> piped = streams.Open("-", OpenMode::Read);
    ASSERT_TRUE(piped);
    EXPECT_FALSE((*piped)->Tell());
    EXPECT_FALSE((*piped)->Size());
    EXPECT_FALSE((*piped)->Seek(0));
    Expected<std::unique_ptr<File>> kept = OpenSeekable("-", streams, 16);
    ASSERT_TRUE(kept);
    File& file = **kept;
    EXPECT_EQ(*file.Size(), 4U);
    std::uint8_t got[8] = {};
    EXPECT_EQ(*file.Read(got, 3), 3U);
    EXPECT_EQ(*file.Tell(), 3U);
    EXPECT_EQ(*file.Read(got + 3, 5), 1U);
    EXPECT_EQ(*file.Read(got, 5), 0U);
    EXPECT_EQ(got[3], 10);
    EXPECT_TRUE(file.Seek(4));
    EXPECT_EQ(file.Seek(5).error().Message().rfind("cannot seek", 0), 0U);
    EXPECT_EQ(file.Write(&byte, 1).error().Message().rfind("cannot write", 0), 0U);

    // A missing file and a stream that fails to read pass their reasons on.
    EXPECT_EQ(OpenSeekable("absent.map", streams, 16).error().Path(), "absent.map");
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::FILE* writeOnly = fdopen(ends[1], "wb");
    StandardStreamFileSystem unreadable(files, writeOnly, nullptr);
    EXPECT_EQ(OpenSeekable("-", unreadable, 16).error().Message().rfind("cannot read", 0), 0U);
    close(ends[0]);
    std::fclose(writeOnly);
    std::fclose(closedForWrites);
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// A tileset on standard input has no name to tell its kind: its first bytes
// do, from a pipe too, for the verdict and for the picture.
TEST(MapView, ATilesetOnStandardInputIsToldByItsFirstBytes) {
    struct Case {
        Bytes bytes;
        int status;
        std::string line;  // the tileset's line, or the reason
        std::string kept;  // the reason for a picture, which keeps the pipe's bytes and so knows their count
    };
    const std::vector<Case> cases{
        {test::PatternVsp(5).Build(), 0, "tileset: -: VSP tileset, 5 tiles of 16 x 16 pixels\n", ""},
        {test::PatternRts(5, 2, 3).Build(), 0, "tileset: -: RTS tileset file, 5 tiles of 2 x 3 pixels\n", ""},
        {Bytes{'.', 'r', 't'}, 1, "mapview: -: byte 0: the 772-byte VSP header needs 772 bytes, 3 are left\n", ""},
        {Bytes{}, 1, "mapview: -: the file is empty\n",
         "mapview: -: byte 0: the 772-byte VSP header needs 772 bytes, 0 are left\n"},
    };
    for (const Case& c : cases) {
        for (const bool picture : {false, true}) {
            MemoryFileSystem files;
            PutInputs(files);
            Pipe pipe(c.bytes);
            StandardStreamFileSystem streams(files, pipe.Input(), nullptr);
            std::string out;
            std::string err;
            std::vector<std::string> arguments{"town.map", "-"};
            if (picture) {
                arguments.push_back("out.png");
            }
            EXPECT_EQ(RunMapView(arguments, streams, out, err), c.status) << c.line;
            EXPECT_EQ(files.Has("out.png"), picture && c.status == 0) << c.line;
            if (c.status != 0) {
                EXPECT_EQ(err, picture && !c.kept.empty() ? c.kept : c.line);
            } else if (!picture) {
                EXPECT_NE(out.find(c.line + "gridport converts it\n"), std::string::npos) << out;
            }
        }
    }
}

// A MAP alone, or with the picture's name, is paired with the tileset it
// names as gridport-batch pairs it, over real folders.
class MapViewPairing : public ::testing::Test {
protected:
    MapViewPairing() : inside_(dir_.Path()) { std::filesystem::create_directories("maps"); }

    int Run(const std::vector<std::string>& arguments) {
        out_.clear();
        err_.clear();
        return RunMapView(arguments, defaultFileSystem, out_, err_);
    }
    bool OutEndsWith(const std::string& end) const {
        return out_.size() >= end.size() && out_.compare(out_.size() - end.size(), end.size(), end) == 0;
    }

    test::TempDir dir_;
    test::ScopedWorkingDirectory inside_;
    std::string out_;
    std::string err_;
};

TEST_F(MapViewPairing, TheVillageFindsItsTilesetToBeSummarisedAndDrawn) {
    for (const std::string name : {"village.map", "village.vsp"}) {
        test::WriteDiskFile("maps/" + name, test::ReadDiskFile(std::string(GRIDPORT_EXAMPLES_DIR) + "/" + name));
    }
    EXPECT_EQ(Run({"maps/village.map"}), 0) << err_;
    EXPECT_EQ(err_, "");
    EXPECT_NE(out_.find("tileset name stored in the map: \"village.vsp\"\n"), std::string::npos) << out_;
    EXPECT_TRUE(OutEndsWith("tileset found by the name stored in the map: maps/village.vsp\n"
                            "tileset: maps/village.vsp: VSP tileset, 10 tiles of 16 x 16 pixels\n"
                            "gridport converts it\n"))
        << out_;
    // The picture's name as the second operand, in any letter case: the village as drawn with its tileset given.
    EXPECT_EQ(Run({"maps/village.map", "out.PNG"}), 0) << err_;
    EXPECT_EQ(out_, "");
    EXPECT_EQ(err_, "mapview: note: tileset found by the name stored in the map: maps/village.vsp\n");
    EXPECT_EQ(Run({"maps/village.map", "maps/village.vsp", "given.png"}), 0) << err_;
    EXPECT_EQ(test::ReadDiskFile("out.PNG"), test::ReadDiskFile("given.png"));
}

// A tileset found under a name ending in .png is an input the picture may not replace.
TEST_F(MapViewPairing, APictureNamedAsTheTilesetFoundIsRefused) {
    test::MapV1File map = test::TownMap();
    map.text = "tiles.png";
    test::WriteDiskFile("maps/m.map", map.Build());
    const Bytes tileset = test::PatternRts(5, 2, 3).Build();
    test::WriteDiskFile("maps/tiles.png", tileset);
    EXPECT_EQ(Run({"maps/m.map", "maps/./tiles.png"}), 1);
    EXPECT_EQ(err_, "mapview: note: tileset found by the name stored in the map: maps/tiles.png\n"
                    "mapview: maps/./tiles.png: the picture may not replace the input maps/tiles.png\n");
    EXPECT_EQ(test::ReadDiskFile("maps/tiles.png"), tileset);
}

struct PairingRun {
    const char* name;
    std::vector<std::string> tilesets;  // VSP tilesets made beside maps/town.map (which names "town.vsp"); "rts:" RTS
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> out;  // pieces of standard output, in order
    std::vector<std::string> err;  // pieces of standard error, in order
};

void PrintTo(const PairingRun& run, std::ostream* os) {
    *os << run.name;
}

class MapViewPairs : public MapViewPairing, public ::testing::WithParamInterface<PairingRun> {};

TEST_P(MapViewPairs, SaysWhichTilesetOrWhyNone) {
    const PairingRun& c = GetParam();
    test::WriteDiskFile("maps/town.map", test::TownMap().Build());
    for (std::string tileset : c.tilesets) {
        const bool rts = tileset.rfind("rts:", 0) == 0;
        tileset.erase(0, rts ? 4 : 0);
        std::filesystem::create_directories(std::filesystem::path(tileset).parent_path());
        test::WriteDiskFile(tileset, rts ? test::PatternRts(5, 2, 3).Build() : test::PatternVsp(5).Build());
    }
    EXPECT_EQ(Run(c.arguments), c.status) << err_;
    for (const auto& [pieces, text] : {std::pair{&c.out, &out_}, std::pair{&c.err, &err_}}) {
        std::size_t at = 0;
        for (const std::string& piece : *pieces) {
            at = text->find(piece, at);
            ASSERT_NE(at, std::string::npos) << piece << "\nin\n" << *text;
        }
        if (pieces->empty()) {
            EXPECT_EQ(*text, "");
        }
    }
    EXPECT_EQ(std::filesystem::exists("out.png"), c.status == 0 && c.arguments.back() == "out.png");
}

const std::string kFound = "tileset found by the name stored in the map: ";
const std::string kNone = "tileset found by the name stored in the map: none; ";
const std::string kMapReads = "the MAP file reads; its tile indices are checked against a TILESET, given or found\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, MapViewPairs,
    ::testing::Values(
        PairingRun{"inTheMapsFolderFirst", {"maps/TOWN.vsp", "lib/town.vsp"}, {"maps/town.map", "--tilesets", "lib"},
                   0, {kFound + "maps/TOWN.vsp\ntileset: maps/TOWN.vsp: VSP tileset", "gridport converts it\n"}, {}},
        PairingRun{"inATilesetsFolder", {"lib1/x.vsp", "lib2/Town.VSP"},
                   {"--tilesets", "lib1", "--tilesets=lib2", "maps/town.map"}, 0,
                   {kFound + "lib2/Town.VSP\n", "gridport converts it\n"}, {}},
        PairingRun{"none", {"maps/other.vsp", "rts:lib/town.rts"}, {"maps/town.map", "--tilesets", "lib"}, 0,
                   {"header layer: 1", kNone + "the tileset \"town.vsp\" stored in the map is in none of the folders "
                                               "maps/, lib/\n" + kMapReads},
                   {}},
        PairingRun{"two", {"maps/town.vsp", "maps/Town.vsp"}, {"maps/town.map"}, 0,
                   {kNone + "the tileset name stored in the map, \"town.vsp\", matches both maps/", " and maps/",
                    ", which differ only in letter case\n" + kMapReads},
                   {}},
        PairingRun{"pictureOfNone", {}, {"maps/town.map", "out.png"}, 1, {},
                   {"mapview: maps/town.map: the tileset \"town.vsp\" stored in the map is in none of the folders "
                    "maps/; name the TILESET to draw the map\n"}},
        PairingRun{"pictureFound", {"maps/Town.vsp"}, {"maps/town.map", "out.png"}, 0, {},
                   {"mapview: note: " + kFound + "maps/Town.vsp\n"}},
        PairingRun{"foundHoldsAnRtsFile", {"rts:maps/town.vsp"}, {"maps/town.map"}, 1, {kFound + "maps/town.vsp\n"},
                   {"mapview: maps/town.vsp: byte 0: the 772-byte VSP header needs 772 bytes, ",
                    "; this looks like an RTS tileset file\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace gridport
