#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <random>
#include <cstdio>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "filesystem/DefaultFileSystem.h"
#include "support/Files.h"
#include "support/MemoryFileSystem.h"
#include "support/SampleRmp.h"
#include "support/TileMap.h"
#include "support/TiledMap.h"
#include "support/TempDir.h"
#include "view/RmpViewCommand.h"
#include "view/Progress.h"
#include "view/StandardStreams.h"
#include "base/Version.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;

struct Run {
    std::vector<std::string> arguments;
    int status;
    std::string out;  // the start of standard output
    std::string err;  // the whole of standard error
};

void PrintTo(const Run& run, std::ostream* os) {
    for (const std::string& argument : run.arguments) {
        *os << argument << ' ';
    }
}

constexpr const char* kUsage = "Usage: rmpview [options] FILE.rmp [OUT.png | OUT.tmj]\n";

std::string Misuse(const std::string& why) {
    return "rmpview: " + why + "\n" + kUsage;
}

class RmpView : public ::testing::TestWithParam<Run> {};

TEST_P(RmpView, PrintsAndEndsAsExpected) {
    MemoryFileSystem files;
    files.Put("map.rmp", test::SampleRmpFiles()[2].bytes);
    Bytes broken = files.Get("map.rmp");
    broken.pop_back();
    files.Put("broken.rmp", broken);
    files.Symlink("map.rmp", "link.png");
    const Bytes input = files.Get("map.rmp");
    std::string out;
    std::string err;
    EXPECT_EQ(RunRmpView(GetParam().arguments, files, out, err), GetParam().status);
    EXPECT_EQ(out.substr(0, GetParam().out.size()), GetParam().out);
    EXPECT_EQ(out.empty(), GetParam().out.empty());
    EXPECT_EQ(err, GetParam().err);
    EXPECT_EQ(files.Has("out.png"), GetParam().status == 0 && out.empty());
    EXPECT_EQ(files.OpenFiles(), 0);
    EXPECT_EQ(files.Get("map.rmp"), input);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RmpView,
    ::testing::Values(
        Run{{"--help"}, 0, kUsage, ""},
        Run{{"map.rmp"}, 0,
            "map.rmp: RMP map file, version 1\n"
            "header: x 65534, y 4464, layer 1, mode 44\n"
            "tileset name stored in the map: \"linked.vsp\"\n"
            "text A: \"A\"\n"
            "text B: \"B text\"\n"
            "text list 1: \"one\"\n"
            "text list 3: \"three\"\n"
            "text list 4: \"four\"\n"
            "layers: 2\n"
            "  layer 0 \"ground\": 3 x 2, flags 3 (hidden, factors on), aux, 1 segment, 4 distinct tiles, "
            "1 cell beyond the tileset (not drawn)\n"
            "  layer 1 \"top\": 3 x 2, flags 2 (shown, factors on), aux, 1 segment, 4 distinct tiles, "
            "1 cell beyond the tileset (not drawn)\n"
            "entities: 4\n"
            "zones: 2\n"
            "tileset: 2 x 3 pixels per tile, 3 tiles\n",
            ""},
        Run{{"--png", "out.png", "map.rmp"}, 0, "", ""},
        Run{{"map.rmp", "--layer", "0", "--png", "out.png"}, 0, "", ""},
        Run{{}, 2, "", Misuse("no input file given")},
        Run{{"a.rmp", "b.rmp"}, 2, "", Misuse("the picture 'b.rmp' would be PNG; name it with the ending .png")},
        Run{{"a.rmp", "b.png", "c.png"}, 2, "", Misuse("too many operands")},
        Run{{"map.rmp", "out.png", "--png", "b.png"}, 2, "",
            Misuse("the picture is named twice, by --png and by the operand 'out.png'")},
        Run{{"map.rmp", "OUT.PNG", "-s", "0.5", "--size=9"}, 2, "", Misuse("--scale and --size don't go together")},
        Run{{"map.rmp", "out.png", "-s0.5", "--layer", "1", "--layer", "0"}, 0, "", ""},
        Run{{"map.rmp", "out.png", "--ignore-visibility", "--hide-layer", "TOP", "--hide-layer", "ground"}, 2, "",
            Misuse("map.rmp: --hide-layer leaves no layer to draw")},
        Run{{"-v"}, 0, std::string("rmpview (gridport) ") + kVersion + "\n", ""},
        Run{{"--layer", "1", "map.rmp"}, 2, "", Misuse("--layer goes with --png")},
        Run{{"map.rmp", "--png"}, 2, "", Misuse("--png needs a value")},
        Run{{"--png", "a.png", "--layer", "-1", "map.rmp"}, 2, "",
            Misuse("bad or repeated --layer '-1'")},
        Run{{"-x", "map.rmp"}, 2, "", Misuse("unknown option '-x'")},
        Run{{"none.rmp"}, 1, "", "rmpview: none.rmp: cannot open: No such file or directory\n"},
        Run{{"broken.rmp"}, 1, "",
            "rmpview: broken.rmp: byte 1008: the segment list of tile 2 (1 segment) needs 8 bytes, 7 are "
            "left\n"},
        Run{{"--png", "out.png", "--layer", "2", "map.rmp"}, 2, "",
            Misuse("map.rmp: there is no layer 2; the map has 2 layers")},
        Run{{"--png", "a.png", "-", "--png", "b.png"}, 2, "", Misuse("--png is given twice")},
        Run{{"map.rmp", "out.png", "-s=2", "--scale", "2"}, 2, "", Misuse("--scale is given twice")},
        Run{{"--png", "", "map.rmp"}, 2, "", Misuse("bad or repeated --png ''")},
        Run{{"-V"}, 0, std::string("rmpview (gridport) ") + kVersion + "\n", ""},
        Run{{"--png=out.png", "--", "map.rmp"}, 0, "", ""},
        Run{{"--", "--help"}, 1, "", "rmpview: --help: cannot open: No such file or directory\n"},
        Run{{"--scale", "2", "map.rmp"}, 2, "", Misuse("--scale goes with --png")},
        Run{{"--png", "a.png", "--scale=0", "map.rmp"}, 2, "", Misuse("bad or repeated --scale '0'")},
        Run{{"--png", "a.png", "--size", "0x5", "map.rmp"}, 2, "", Misuse("bad or repeated --size '0x5'")},
        Run{{"--png", "a.png", "--scale", "1", "--size", "5x5", "map.rmp"}, 2, "",
            Misuse("--scale and --size don't go together")},
        Run{{"--png", "out.png", "--layer", "0", "--show-layer", "top", "map.rmp"}, 0, "", ""},
        Run{{"--png", "out.png", "--hide-layer", "roof", "map.rmp"}, 2, "",
            Misuse("map.rmp: there is no layer named \"roof\"; the layers are \"ground\", \"top\"")},
        Run{{"--png", "out.png", "--scale", "3000", "map.rmp"}, 1, "",
            "rmpview: map.rmp: the picture would be 18000 x 18000 pixels; pictures are drawn at most 16384 "
            "pixels on a side (--scale or --size draws it smaller)\n"},
        Run{{"map.rmp", "link.png"}, 1, "", "rmpview: link.png: the picture may not replace the input map.rmp\n"},
        Run{{"--png", "link.png", "map.rmp"}, 1, "",
            "rmpview: link.png: the picture may not replace the input map.rmp\n"}));

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

using Pixel = std::array<std::uint8_t, 4>;

struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Bytes rgba;
    Pixel At(std::uint32_t x, std::uint32_t y) const {
        Pixel pixel;
        std::copy_n(rgba.begin() + (static_cast<std::ptrdiff_t>(y) * width + x) * 4, 4, pixel.begin());
        return pixel;
    }
};

Picture Decode(const Bytes& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (png_image_begin_read_from_memory(&image, png.data(), png.size()) != 0) {
        image.format = PNG_FORMAT_RGBA;
        picture.rgba.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr) != 0) {
            picture.width = image.width;
            picture.height = image.height;
        }
    }
    return picture;
}

constexpr Pixel kRed{255, 0, 0, 255};
constexpr Pixel kBlue{0, 0, 255, 255};
constexpr Pixel kClear{0, 0, 0, 0};

// Tiles of one pixel: 0 red, 1 transparent, 2 blue. "Ground" (shown) is
// red clear red red / blue blue red clear; "Roof" (hidden) is all blue.
Bytes LayeredRmp() {
    TileMap map;
    map.tileset.tileWidth = 1;
    map.tileset.tileHeight = 1;
    map.tileset.tiles.resize(3, Tile{RgbaImage(1, 1), false, 0, 0, {}});
    map.tileset.tiles[0].image.pixels.assign(kRed.begin(), kRed.end());
    map.tileset.tiles[1].image.pixels.assign(kClear.begin(), kClear.end());
    map.tileset.tiles[2].image.pixels.assign(kBlue.begin(), kBlue.end());
    MapLayer ground;
    ground.name = "Ground";
    ground.width = 4;
    ground.height = 2;
    ground.tiles = {0, 1, 0, 0, 2, 2, 0, 1};
    map.layers.push_back(ground);
    MapLayer roof = ground;
    roof.name = "Roof";
    roof.tiles.assign(8, 2);
    roof.showFlag = false;
    map.layers.push_back(roof);
    map.headerLayer = 1;
    return test::SaveToMemory(map);
}

Picture Drawn(std::vector<std::string> options) {
    MemoryFileSystem files;
    files.Put("map.rmp", LayeredRmp());
    options.insert(options.end(), {"--png", "out.png", "map.rmp"});
    std::string out;
    std::string err;
    EXPECT_EQ(RunRmpView(options, files, out, err), 0) << err;
    return Decode(files.Get("out.png"));
}

TEST(RmpViewTiled, ImportsIntoAnRmpFileOrPrintsTheVerdict) {
    const TileMap map = test::SampleTiledMap();
    const std::string summary = "2 layers, 4 x 3 cells, 5 tiles, 3 entities, 2 zones\n";
    const std::string usage = "Usage: rmpview IN.tmj [OUT.rmp]\n";
    const std::vector<gridport::Run> runs = {
        {{"map.tmj"}, 0, "map.tmj: imports: " + summary, ""},
        {{"map.tmj", "out.rmp"}, 0, "out.rmp: imported from map.tmj: " + summary, ""},
        {{"MAP.JSON", "OUT.RMP"}, 0, "OUT.RMP: imported from MAP.JSON: " + summary, ""},
        {{"map.tmj", "out.png"}, 2, "",
         "rmpview: a Tiled map imports into an RMP file: name the output with the ending .rmp\n" + usage},
        {{"map.tmj", "a.rmp", "b.rmp"}, 2, "", "rmpview: too many operands\n" + usage},
        {{"missing.tmj"}, 1, "", "rmpview: missing.tmj: cannot open: No such file or directory\n"},
        {{"map.tmj", "tiles.tsj.rmp"}, 0, "tiles.tsj.rmp: imported from map.tmj: " + summary, ""},
    };
    for (const gridport::Run& run : runs) {
        MemoryFileSystem files;
        test::PutTiledMap(files, test::TiledMapJson(map), test::TiledTilesetJson(map.tileset, 3),
                          test::TilesetPng(map.tileset, 3));
        const Bytes json = files.Get("map.tmj");
        files.Put("MAP.JSON", json);
        std::string out;
        std::string err;
        EXPECT_EQ(RunRmpView(run.arguments, files, out, err), run.status) << run.arguments[0] << " " << err;
        EXPECT_EQ(out, run.out);
        EXPECT_EQ(err, run.err);
        if (run.status == 0 && run.arguments.size() == 2) {
            EXPECT_EQ(files.Get(run.arguments[1]), test::SaveToMemory(map));
        }
    }
}

TEST(RmpViewPicture, SmallerAveragesWithAlphaWeightsLargerRepeatsPixels) {
    const Picture half = Drawn({"--scale", "0.5"});
    ASSERT_EQ(half.width, 2U);
    ASSERT_EQ(half.height, 1U);
    // Red, clear, blue, blue: three quarters covered, a third red, two thirds blue.
    EXPECT_EQ(half.At(0, 0), (Pixel{85, 0, 170, 191}));
    EXPECT_EQ(half.At(1, 0), (Pixel{255, 0, 0, 191}));
    EXPECT_EQ(Drawn({"--size=2x2"}).rgba, half.rgba);

    const Picture whole = Drawn({});
    const Picture twice = Drawn({"--scale=2"});
    ASSERT_EQ(twice.width, 8U);
    ASSERT_EQ(twice.height, 4U);
    for (std::uint32_t y = 0; y < 4; ++y) {
        for (std::uint32_t x = 0; x < 8; ++x) {
            EXPECT_EQ(twice.At(x, y), whole.At(x / 2, y / 2)) << x << ", " << y;
        }
    }
    const Picture tiny = Drawn({"--size", "1x100"});
    ASSERT_EQ(tiny.width, 1U);
    EXPECT_EQ(tiny.height, 1U);
}

TEST(RmpViewPicture, LayersChosenByNameInAnyCaseOrAllOfThem) {
    const Picture shown = Drawn({});
    EXPECT_EQ(shown.At(0, 0), kRed);
    EXPECT_EQ(shown.At(1, 0), kClear);
    const Picture roof = Drawn({"--show-layer", "rOOF", "--hide-layer=GROUND"});
    const Picture all = Drawn({"--ignore-visibility"});
    for (std::uint32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(roof.At(x, 1), kBlue);
        EXPECT_EQ(all.At(x, 0), kBlue);
    }
    EXPECT_EQ(Drawn({"--ignore-visibility", "--hide-layer", "roof"}).rgba, shown.rgba);
    EXPECT_EQ(Drawn({"--layer", "1"}).rgba, roof.rgba);
}

// "-" reads the RMP file from standard input and "--png -" writes the
// picture to standard output, as main wires them.
TEST(RmpViewPicture, StandardInputAndOutput) {
    std::FILE* input = std::tmpfile();
    std::FILE* output = std::tmpfile();
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    const Bytes rmp = LayeredRmp();
    std::fwrite(rmp.data(), 1, rmp.size(), input);
    std::rewind(input);
    MemoryFileSystem disk;
    StandardStreamFileSystem files(disk, input, output);
    std::string out;
    std::string err;
    EXPECT_EQ(RunRmpView({"--png", "-", "-"}, files, out, err), 0) << err;
    Bytes png(static_cast<std::size_t>(std::ftell(output)));
    std::rewind(output);
    ASSERT_EQ(std::fread(png.data(), 1, png.size(), output), png.size());
    EXPECT_EQ(Decode(png).rgba, Drawn({}).rgba);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(disk.Has("-"));
    std::fclose(input);
    std::fclose(output);
}

// A picture whose stacks of translucent tiles exceed the budget (two layers
// of 256 x 256 cells over 256 tiles) is drawn all the same, status 0, and
// one note on standard error says from where it is drawn from reduced tiles;
// the same map at full size is exact and says nothing.
TEST(RmpViewPicture, APictureDrawnFromReducedTilesSaysSoOnce) {
    TileMap map;
    map.tileset.tileWidth = 2;
    map.tileset.tileHeight = 2;
    std::mt19937 next(3);
    map.tileset.tiles.resize(256, Tile{RgbaImage(2, 2), false, 0, 0, {}});
    for (Tile& tile : map.tileset.tiles) {
        for (std::uint8_t& byte : tile.image.pixels) {
            byte = static_cast<std::uint8_t>(next());
        }
    }
    for (int l = 0; l < 2; ++l) {
        map.layers.push_back(MapLayer{});
        map.layers.back().width = 256;
        map.layers.back().height = 256;
        for (int i = 0; i < 256 * 256; ++i) {
            map.layers.back().tiles.push_back(next() % 256);
        }
    }
    MemoryFileSystem files;
    files.Put("many.rmp", test::SaveToMemory(map));
    for (const bool small : {true, false}) {
        std::string out;
        std::string err;
        const std::vector<std::string> arguments = small ? std::vector<std::string>{"--size", "256", "many.rmp", "o.png"}
                                                         : std::vector<std::string>{"many.rmp", "o.png"};
        EXPECT_EQ(RunRmpView(arguments, files, out, err), 0) << err;
        const std::string note = "rmpview: note: the tiles that show through one another make more stacks than are "
                                 "composited at full size; the picture is drawn from the tiles reduced to 1 x 1 "
                                 "pixels from row ";
        EXPECT_EQ(err.substr(0, small ? note.size() : 0), small ? note : "") << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), small ? 1 : 0) << err;
        EXPECT_TRUE(files.Has("o.png"));
    }
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// rmpview's own file errors on disk carry the system's reason.
// A picture that would replace a file it is drawn from is refused, whether
// the file is named or redirected to standard input, or standard output is
// redirected onto a named input; the file keeps its bytes.
TEST(RmpViewFiles, APictureOverAnInputNamedOrOnStandardInputIsRefused) {
    const test::TempDir folder;
    const std::string rmp = folder / "in.png";
    const Bytes bytes = LayeredRmp();
    test::WriteDiskFile(rmp, bytes);
    const std::string refused = "rmpview: " + rmp + ": the picture may not replace the input ";
    struct Case {
        std::vector<std::string> arguments;
        bool inputIsTheFile;   // standard input reads it
        bool outputIsTheFile;  // standard output writes it
        std::string err;
    };
    const Case cases[] = {
        {{"-", rmp}, true, false, refused + "read from standard input\n"},
        {{"--png", rmp, "-"}, true, false, refused + "read from standard input\n"},
        {{rmp, "-"}, false, true, "rmpview: -: the picture may not replace the input " + rmp + "\n"},
        {{"-", folder / "other.png"}, true, false, ""},
    };
    for (const Case& c : cases) {
        std::FILE* input = std::fopen(rmp.c_str(), "rb");
        std::FILE* output = c.outputIsTheFile ? std::fopen(rmp.c_str(), "r+b") : std::tmpfile();
        ASSERT_NE(input, nullptr);
        ASSERT_NE(output, nullptr);
        StandardStreamFileSystem streams(defaultFileSystem, c.inputIsTheFile ? input : stdin, output);
        std::string out;
        std::string err;
        EXPECT_EQ(RunRmpView(c.arguments, streams, out, err), c.err.empty() ? 0 : 1) << c.err;
        EXPECT_EQ(err, c.err);
        std::fclose(input);
        std::fclose(output);
        EXPECT_EQ(test::ReadDiskFile(rmp), bytes);
    }
}

TEST(RmpViewFiles, ReasonsForInputsAndPicturePaths) {
    const test::TempDir folder;
    const std::string rmp = folder / "map.rmp";
    test::WriteDiskFile(rmp, LayeredRmp());
    const std::string name = folder.Path().string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{folder / "none.rmp"}, folder / "none.rmp: cannot open: No such file or directory"},
        {{name}, name + ": cannot open: Is a directory"},
        {{"--png", folder / "no/out.png", rmp}, folder / "no/out.png: cannot create a temporary file beside it: No such file or directory"},
        {{"--png", folder / "dir.png", rmp}, folder / "dir.png: cannot open: Is a directory"},
    };
    std::filesystem::create_directory(folder / "dir.png");
    for (const auto& [arguments, reason] : cases) {
        std::string out;
        std::string err;
        EXPECT_EQ(RunRmpView(arguments, defaultFileSystem, out, err), 1) << reason;
        EXPECT_EQ(err, "rmpview: " + reason + "\n");
    }
#ifndef _WIN32
    // A FIFO named as the input is refused before it is opened: with no
    // writer, the open would wait for ever. Standard input ("-") is read
    // from a pipe as before.
    ASSERT_EQ(mkfifo((folder / "pipe.rmp").c_str(), 0600), 0);
    std::string out;
    std::string err;
    EXPECT_EQ(RunRmpView({folder / "pipe.rmp"}, defaultFileSystem, out, err), 1);
    EXPECT_EQ(err, "rmpview: " + folder / "pipe.rmp" + ": not a regular file (a FIFO)\n");
#endif
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

std::string Shown(std::chrono::milliseconds delay, bool completed) {
    std::FILE* stream = std::tmpfile();
    Progress progress(stream, "drawing", delay);
    progress.Update(1, 3);
    progress.Update(1, 3);
    progress.Update(2, 3);
    progress.Finish(completed);
    std::string text(static_cast<std::size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    return text;
}

TEST(Progress, RewritesOneLineAfterTheDelayAndEndsIt) {
    EXPECT_EQ(Shown(std::chrono::milliseconds(0), true), "\rdrawing 33%\rdrawing 66%\rdrawing 100%\n");
    EXPECT_EQ(Shown(std::chrono::milliseconds(0), false), "\rdrawing 33%\rdrawing 66%\n");
    EXPECT_EQ(Shown(std::chrono::hours(1), true), "");
}

}  // namespace
}  // namespace gridport
