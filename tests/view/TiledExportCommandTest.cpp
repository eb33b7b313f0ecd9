#include <gtest/gtest.h>

#include "support/Builders.h"
#include "support/Conversion.h"
#include "support/MemoryFileSystem.h"
#include "support/SampleRmp.h"
#include "view/MapViewCommand.h"
#include "view/RmpViewCommand.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;

int RunQuietly(int (*command)(const std::vector<std::string>&, FileSystem&, std::string&, std::string&, std::FILE*),
        const std::vector<std::string>& arguments, MemoryFileSystem& files, std::string& err) {
    std::string out;
    const int status = command(arguments, files, out, err, nullptr);
    EXPECT_EQ(out, "");
    EXPECT_EQ(files.OpenFiles(), 0);
    return status;
}

// mapview exports through the conversion what rmpview exports of gridport's RMP file of the same pair, byte for byte.
TEST(TiledExportCommand, MapviewExportsWhatRmpviewExportsOfTheConversion) {
    std::vector<test::ConversionSample> samples = test::SmallConversions();
    for (test::ConversionSample& large : test::LargeConversions()) {
        samples.push_back(std::move(large));
    }
    std::size_t compared = 0;
    for (const test::ConversionSample& sample : samples) {
        SCOPED_TRACE(sample.name);
        Bytes rmp;
        if (test::Convert(sample.map, sample.tileset, sample.tilesetPath, &rmp) != test::ConversionOutcome::Converted) {
            continue;
        }
        MemoryFileSystem converted;
        converted.Put("map.rmp", rmp);
        std::string err;
        ASSERT_EQ(RunQuietly(RunRmpView, {"map.rmp", "x.tmj"}, converted, err), 0) << err;
        MemoryFileSystem direct;
        direct.Put("map.map", sample.map);
        direct.Put(sample.tilesetPath, sample.tileset);
        ASSERT_EQ(RunQuietly(RunMapView, {"map.map", sample.tilesetPath, "x.tmj"}, direct, err), 0) << err;
        EXPECT_EQ(err, "");
        for (const char* output : {"x.tmj", "x.tsj", "x.png"}) {
            EXPECT_EQ(direct.Get(output), converted.Get(output)) << output;
        }
        ++compared;
    }
    EXPECT_GE(compared, 4U);
}

// An output named as an input, however spelt, is refused before anything is written; the input stays.
TEST(TiledExportCommand, RefusesAnOutputNamingAnInput) {
    const Bytes rmp = test::SampleRmpFiles()[1].bytes;
    struct Case {
        std::vector<std::string> arguments;
        std::string err;
    };
    const std::vector<Case> cases{
        {{"x.png", "x.tmj"}, "rmpview: x.png: the output is the input x.png\n"},
        {{"map.rmp", "link.json"}, "rmpview: link.json: the output is the input map.rmp\n"},
        {{"map.rmp", "MAP.TMJ"}, ""},
    };
    for (const Case& c : cases) {
        MemoryFileSystem files;
        files.Put("map.rmp", rmp);
        files.Put("x.png", rmp);
        files.Symlink("map.rmp", "link.json");
        std::string err;
        EXPECT_EQ(RunQuietly(RunRmpView, c.arguments, files, err), c.err.empty() ? 0 : 1);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(files.Get(c.arguments[0]), rmp);
    }
    const test::ConversionSample sample = test::SmallConversions().front();
    MemoryFileSystem files;
    files.Put("x.png", sample.map);
    files.Put(sample.tilesetPath, sample.tileset);
    std::string err;
    EXPECT_EQ(RunQuietly(RunMapView, {"x.png", sample.tilesetPath, "x.tmj"}, files, err), 1);
    EXPECT_EQ(err, "mapview: x.png: the output is the input x.png\n");
    EXPECT_EQ(files.Get("x.png"), sample.map);
    EXPECT_FALSE(files.Has("x.tmj"));
}

// A map that doesn't convert exports nothing, for the conversion's reason.
TEST(TiledExportCommand, AMapThatDoesNotConvertExportsNothing) {
    test::MapV1File map;
    map.width = 2;
    map.height = 1;
    map.background = {1, 5};
    map.foreground = {0, 0};
    MemoryFileSystem files;
    files.Put("map.map", map.Build());
    files.Put("tiles.vsp", test::PatternVsp(2).Build());
    std::string err;
    EXPECT_EQ(RunQuietly(RunMapView, {"map.map", "tiles.vsp", "x.tmj"}, files, err), 1);
    EXPECT_EQ(err, "mapview: map.map: layer \"Background\" cell (1, 0) holds tile 5; the tileset has 2 tiles\n");
    EXPECT_FALSE(files.Has("x.tmj") || files.Has("x.tsj") || files.Has("x.png"));
}

TEST(TiledExportCommand, ExportTakesNoDrawingOption) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--png", "a.png", "map.rmp", "x.tmj"},
         "rmpview: --png draws a picture; the Tiled map 'x.tmj' is an export: give one or the other\n"},
        {{"--scale", "2", "map.rmp", "x.json"}, "rmpview: --scale goes with --png\n"},
    };
    for (const auto& [arguments, reason] : cases) {
        MemoryFileSystem files;
        std::string err;
        EXPECT_EQ(RunQuietly(RunRmpView, arguments, files, err), 2);
        EXPECT_EQ(err, reason + "Usage: rmpview [options] FILE.rmp [OUT.png | OUT.tmj]\n");
    }
}

}  // namespace
}  // namespace gridport
