#include <gtest/gtest.h>

#include "support/MemoryFileSystem.h"
#include "support/SampleRmp.h"
#include "view/RmpViewCommand.h"

namespace gridport {
namespace {

using testing::Bytes;
using testing::MemoryFileSystem;

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

constexpr const char* kUsage = "Usage: rmpview [--png OUT.png [--layer N]] FILE.rmp\n";

std::string Misuse(const std::string& why) {
    return "rmpview: " + why + "\n" + kUsage;
}

class RmpView : public ::testing::TestWithParam<Run> {};

TEST_P(RmpView, PrintsAndEndsAsExpected) {
    MemoryFileSystem files;
    files.Put("map.rmp", testing::SampleRmpFiles()[2].bytes);
    Bytes broken = files.Get("map.rmp");
    broken.pop_back();
    files.Put("broken.rmp", broken);
    files.Symlink("map.rmp", "link.rmp");
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
            "linked file: \"linked.vsp\"\n"
            "text A: \"A\"\n"
            "text B: \"B text\"\n"
            "text list 1: \"one\"\n"
            "text list 3: \"three\"\n"
            "text list 4: \"four\"\n"
            "layers: 2\n"
            "  layer 0 \"ground\": 3 x 2, flags 3 (hidden, factors on), aux, 1 segments, 4 distinct tiles, "
            "1 cells beyond the tileset (not drawn)\n"
            "  layer 1 \"top\": 3 x 2, flags 0 (shown), aux, 1 segments, 4 distinct tiles, "
            "1 cells beyond the tileset (not drawn)\n"
            "entities: 4\n"
            "zones: 2\n"
            "tileset: 2 x 3 pixels per tile, 3 tiles\n",
            ""},
        Run{{"--png", "out.png", "map.rmp"}, 0, "", ""},
        Run{{"map.rmp", "--layer", "0", "--png", "out.png"}, 0, "", ""},
        Run{{}, 2, "", Misuse("no RMP file given")},
        Run{{"a.rmp", "b.rmp"}, 2, "", Misuse("only one RMP file at a time")},
        Run{{"--layer", "1", "map.rmp"}, 2, "", Misuse("--layer goes with --png")},
        Run{{"map.rmp", "--png"}, 2, "", Misuse("--png needs a value")},
        Run{{"--png", "a.png", "--layer", "-1", "map.rmp"}, 2, "",
            Misuse("bad or repeated --layer '-1'")},
        Run{{"-x", "map.rmp"}, 2, "", Misuse("unknown option '-x'")},
        Run{{"none.rmp"}, 1, "", "rmpview: none.rmp: cannot open the file\n"},
        Run{{"broken.rmp"}, 1, "",
            "rmpview: broken.rmp: stopped at byte 1008: the file ends inside the segments of tileset tile 2: it "
            "needs 8 bytes, 7 remain\n"},
        Run{{"--png", "out.png", "--layer", "2", "map.rmp"}, 1, "",
            "rmpview: map.rmp: there is no layer 2; the map has 2 layers\n"},
        Run{{"--png", "", "map.rmp"}, 2, "", Misuse("bad or repeated --png ''")},
        Run{{"--png", "map.rmp", "map.rmp"}, 1, "", "rmpview: map.rmp: the picture may not replace the input file\n"},
        Run{{"--png", "link.rmp", "map.rmp"}, 1, "",
            "rmpview: link.rmp: the picture may not replace the input file\n"}));

}  // namespace
}  // namespace gridport
