// Runs gridport-batch in a fresh temporary folder per case, and holds its
// outputs to gridport's for the same pairs. GRIDPORT_BATCH_COMMAND, when
// set, is the command to run (a Windows build under Wine, with
// GRIDPORT_TARGET=windows); gridport and mapview, the references, are the
// native builds.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>
#include <string_view>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Version.h"
#include "support/Background.h"
#include "support/Builders.h"
#include "support/Conversion.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace gridport {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

bool Windows() {
    const char* target = std::getenv("GRIDPORT_TARGET");
    return target != nullptr && std::string(target) == "windows";
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    // The Windows C runtime ends its lines in CR LF.
    std::string plain;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!(all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n')) {
            plain += all[i];
        }
    }
    return plain;
}

// A path the batch prints, with '/' for the Windows build's '\'.
std::string Plain(std::string path) {
    for (char& c : path) {
        c = c == '\\' ? '/' : c;
    }
    return path;
}

struct Outcome {
    int status = -1;
    int signal = 0;
    std::string out;
    std::string err;
};

class Batch : public ::testing::Test {
protected:
    static std::vector<std::string> SortedLines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::string Line(const std::string& command, const std::vector<std::string>& arguments) {
        std::string line = "cd " + Quoted(work.Path().string()) + " && exec " + command;
        for (const std::string& argument : arguments) {
            line.append(" ").append(Quoted(argument));
        }
        return line + " >" + Quoted(capture / "out") + " 2>" + Quoted(capture / "err") + " </dev/null";
    }
    // qemu's user mode hangs at a program's first thread on these machines
    // (qemu-i386 7.2 does with any program): under an emulator the batch
    // converts its maps in the calling thread. Its threads are tested
    // natively, under the sanitizers and under Wine.
    static std::vector<std::string> Jobs(std::vector<std::string> arguments) {
        if (std::string_view(GRIDPORT_EMULATOR).empty() || arguments.size() < 2) {
            return arguments;
        }
        const auto jobs = std::find_if(arguments.begin(), arguments.end(),
                                       [](const std::string& argument) { return argument.rfind("-j", 0) == 0; });
        if (jobs == arguments.end()) {
            arguments.insert(arguments.begin(), {"-j", "1"});
        } else if (*jobs != "-j") {
            *jobs = *jobs == "-j0" ? *jobs : "-j1";
        } else if (jobs + 1 != arguments.end() && jobs[1] != "0") {
            jobs[1] = "1";
        }
        return arguments;
    }
    static std::string BatchCommand() {
        const char* command = std::getenv("GRIDPORT_BATCH_COMMAND");
        if (command != nullptr && *command != '\0') {
            return command;
        }
        std::string line = GRIDPORT_EMULATOR " ";  // appended, not added: GCC 12 warns of an overlap that isn't there
        return line.append(Quoted(GRIDPORT_BATCH_BINARY));
    }
    Outcome Finish(int raw) {
        Outcome run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
        run.out = Slurp(capture / "out");
        run.err = Slurp(capture / "err");
        return run;
    }
    Outcome Run(const std::vector<std::string>& arguments) {
        return Finish(std::system(Line(BatchCommand(), Jobs(arguments)).c_str()));
    }
    Outcome Native(const char* binary, const std::vector<std::string>& arguments) {
        return Finish(std::system(Line(std::string(GRIDPORT_EMULATOR " ").append(Quoted(binary)), arguments).c_str()));
    }

    void Put(const std::string& name, const Bytes& bytes) {
        fs::create_directories(fs::path(work / name).parent_path());
        test::WriteDiskFile(work / name, bytes);
    }
    // A small map storing tileset, with cells below 5.
    void PutMap(const std::string& name, const std::string& tileset) {
        test::MapV1File map = test::TownMap();
        map.text = tileset;
        Put(name, map.Build());
    }
    bool Exists(const std::string& name) const { return fs::exists(work / name); }
    // gridport's output for the pair, made in the capture folder.
    Bytes Reference(const std::string& map, const std::string& tileset) {
        const std::string out = capture / "reference.rmp";
        fs::remove(out);
        EXPECT_EQ(Native(GRIDPORT_BINARY, {map, tileset, out}).status, 0) << map << " " << tileset;
        return test::ReadDiskFile(out);
    }
    nlohmann::json Report(const std::string& name) {
        std::ifstream in(work / name);
        return nlohmann::json::parse(in, nullptr, false);
    }
    // Temporary outputs anywhere in the working folder.
    std::size_t Temporaries() const {
        std::size_t count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(work.Path())) {
            count += entry.path().filename().string().find(".gridport-") != std::string::npos ? 1 : 0;
        }
        return count;
    }

    TempDir work;
    TempDir capture;
};

struct PairingCase {
    const char* name;
    const char* stored;                 // the tileset name in maps/sub/m.map
    std::vector<std::string> tilesets;  // files made, from the working folder
    std::vector<std::string> options;
    const char* found;                  // the tileset paired, or nothing
    const char* reason;                 // else a part of the failure's reason
};

class Pairing : public Batch, public ::testing::WithParamInterface<PairingCase> {};

TEST_P(Pairing, FindsTheTilesetOrSaysWhy) {
    const PairingCase& c = GetParam();
    PutMap("maps/sub/m.map", c.stored);
    for (const std::string& tileset : c.tilesets) {
        Put(tileset, test::PatternVsp(5).Build());
    }
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"--report", "r.json", "maps", "out"});
    const Outcome run = Run(arguments);
    const nlohmann::json record = Report("r.json").at(0);
    if (c.found != nullptr) {
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(Plain(record.at("tileset").at("text").get<std::string>()), c.found);
        EXPECT_EQ(test::ReadDiskFile(work / "out/sub/m.rmp"), Reference("maps/sub/m.map", c.found));
    } else {
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(record.at("result"), "failed");
        EXPECT_NE(Plain(record.at("reason").get<std::string>()).find(c.reason), std::string::npos)
            << record.at("reason");
        EXPECT_NE(Plain(run.out).find("failed: maps/sub/m.map: "), std::string::npos) << run.out;
        EXPECT_FALSE(Exists("out/sub/m.rmp"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Batch, Pairing,
    ::testing::Values(
        PairingCase{"sameFolder", "tiles.vsp", {"maps/sub/tiles.vsp"}, {}, "maps/sub/tiles.vsp", nullptr},
        PairingCase{"letterCase", "VILLAGE.VSP", {"maps/sub/village.vsp"}, {}, "maps/sub/village.vsp", nullptr},
        PairingCase{"tilesetsInOrder", "Tiles.vsp", {"lib1/x.vsp", "lib2/TILES.vsp", "lib3/tiles.vsp"},
                    {"--tilesets", "lib1", "--tilesets", "lib2/", "--tilesets=lib3"}, "lib2/TILES.vsp", nullptr},
        PairingCase{"mapFolderFirst", "t.vsp", {"lib/t.vsp", "maps/sub/T.vsp"}, {"--tilesets", "lib"},
                    "maps/sub/T.vsp", nullptr},
        PairingCase{"backslashParts", "..\\Shared\\T.VSP", {"maps/shared/t.vsp"}, {}, "maps/sub/../shared/t.vsp", nullptr},
        PairingCase{"slashParts", "sets/t.vsp", {"lib/SETS/T.vsp"}, {"--tilesets", "lib"}, "lib/SETS/T.vsp", nullptr},
        PairingCase{"driveLetter", "C:\\GM\\t.vsp", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp", nullptr},
        PairingCase{"driveRelative", "C:t.vsp", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp", nullptr},
        PairingCase{"trailingDotAndSpace", "T.VSP. ", {"maps/sub/t.vsp"}, {}, "maps/sub/t.vsp", nullptr},
        PairingCase{"oneForAll", "none.vsp", {"one.vsp"}, {"--tileset", "one.vsp"}, "one.vsp", nullptr},
        PairingCase{"missing", "gone.vsp", {"maps/sub/other.vsp", "lib/other.vsp"}, {"--tilesets", "lib"}, nullptr,
                    "maps/sub/m.map: the tileset \"gone.vsp\" stored in the map is in none of the folders maps/sub/, lib/"},
        PairingCase{"noName", "", {"maps/sub/t.vsp"}, {}, nullptr, "maps/sub/m.map: the map stores no tileset name"},
        PairingCase{"ambiguous", "t.vsp", {"maps/sub/t.vsp", "maps/sub/T.VSP"}, {}, nullptr,
                    "matches both maps/sub/"}),
    [](const ::testing::TestParamInfo<PairingCase>& info) { return std::string(info.param.name); });

// A map the RMP format can't hold fails with mapview's reason, which names no output.
TEST_F(Batch, TooManyTilesIsMapviewsReason) {
    PutMap("m.map", "t.rts");
    Put("t.rts", test::PatternRts(65535, 1, 1).Build());
    const Outcome run = Run({"m.map", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(Plain(run.out).find("failed: m.map with t.rts: the RMP format holds at most 65535 tiles; the map needs "
                                  "65536\n"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(Exists("out/m.rmp"));
}

TEST_F(Batch, AmbiguousTilesetsAreBothNamed) {
    PutMap("m.map", "t.vsp");
    Put("t.vsp", test::PatternVsp(5).Build());
    Put("T.vsp", test::PatternVsp(5).Build());
    const Outcome run = Run({"m.map", "out"});
    EXPECT_EQ(run.status, 1);
    const bool either = Plain(run.out).find("\"t.vsp\", matches both T.vsp and t.vsp") != std::string::npos ||
                        Plain(run.out).find("\"t.vsp\", matches both t.vsp and T.vsp") != std::string::npos;
    EXPECT_TRUE(either) << run.out;
}

TEST_F(Batch, KeepsRelativePathsAndIsUpToDateUntilAnInputChanges) {
    for (const char* name : {"a.map", "x/B.MAP", "x/y/c.Map"}) {
        PutMap(std::string("src/") + name, "t.vsp");
    }
    for (const char* folder : {"src/", "src/x/", "src/x/y/"}) {
        Put(std::string(folder) + "t.vsp", test::PatternVsp(5).Build());
    }
    Put("src/notes.txt", {1, 2, 3});
    Outcome run = Run({"-j", "2", "src", "out"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "3 maps: 3 converted, 0 up to date, 0 failed");
    for (const auto& [map, rmp] : {std::pair{"src/a.map", "out/a.rmp"}, {"src/x/B.MAP", "out/x/B.rmp"},
                                   {"src/x/y/c.Map", "out/x/y/c.rmp"}}) {
        EXPECT_EQ(test::ReadDiskFile(work / rmp), Reference(map, "src/t.vsp")) << map;
    }
    run = Run({"src", "out"});
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "3 maps: 0 converted, 3 up to date, 0 failed");
    // An input newer than its output makes it out of date.
    const auto later = fs::last_write_time(work / "out/x/B.rmp") + std::chrono::seconds(5);
    fs::last_write_time(work / "src/x/t.vsp", later);
    run = Run({"src", "out"});
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "3 maps: 1 converted, 2 up to date, 0 failed");
    run = Run({"--force", "src", "out"});
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "3 maps: 3 converted, 0 up to date, 0 failed");
    EXPECT_EQ(Temporaries(), 0U);
}

TEST_F(Batch, DryRunPrintsThePairsAndWritesNothing) {
    PutMap("src/a.map", "t.vsp");
    PutMap("src/b.map", "gone.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    const Outcome run = Run({"-n", "--report", "r.csv", "src", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Plain(run.out).substr(0, Plain(run.out).find(" in ")),
              "would convert src/a.map with src/t.vsp into out/a.rmp\n"
              "2 maps: 1 would be converted, 0 up to date, 1 failed");
    EXPECT_FALSE(Exists("out"));
    EXPECT_FALSE(Exists("r.csv"));
}

// A dry run checks what the run checks, through the same pass with nothing
// written: a cell beyond its tileset, a missing tileset given for every map.
TEST_F(Batch, DryRunCountsAndStatusAreTheRuns) {
    PutMap("src/a.map", "t.vsp");
    PutMap("src/b.map", "gone.vsp");
    test::MapV1File beyond = test::TownMap();
    beyond.text = "t.vsp";
    beyond.background[0] = 7;
    Put("src/c.map", beyond.Build());
    Put("src/t.vsp", test::PatternVsp(5).Build());
    const Outcome dry = Run({"-n", "src", "out"});
    const Outcome run = Run({"src", "out"});
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(run.status, 1);
    const std::string failures = run.out.substr(run.out.find(" s\n") + 2);
    EXPECT_EQ(Plain(run.out).substr(0, run.out.find(" in ")), "3 maps: 1 converted, 0 up to date, 2 failed");
    EXPECT_EQ(Plain(dry.out).substr(0, dry.out.find(" in ")),
              "would convert src/a.map with src/t.vsp into out/a.rmp\n3 maps: 1 would be converted, 0 up to date, 2 failed");
    EXPECT_EQ(dry.out.substr(dry.out.find(" s\n") + 2), failures);
    EXPECT_NE(failures.find("holds tile 7"), std::string::npos) << failures;
    for (const char* dryRun : {"-n", "-j1"}) {
        const Outcome missing = Run({dryRun, "--tileset", "nonexist.vsp", "src/a.map", "out2"});
        EXPECT_EQ(missing.status, 2);
        EXPECT_NE(missing.err.find("--tileset nonexist.vsp: cannot open"), std::string::npos) << missing.err;
    }
    EXPECT_FALSE(Exists("out2"));
}

// A folder that can't be read (its path too long to open) is one record in
// the summary, where the counts add up, and in the report.
TEST_F(Batch, AnUnreadableFolderIsOneRecordInSummaryAndReport) {
    PutMap("src/a.map", "t.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    int folder = open((work / "src").c_str(), O_RDONLY | O_DIRECTORY);
    const std::string name(250, 'd');
    for (int depth = 0; depth < 18 && folder >= 0; ++depth) {
        ASSERT_EQ(mkdirat(folder, name.c_str(), 0700), 0);
        const int inner = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(folder);
        folder = inner;
    }
    ASSERT_GE(folder, 0);
    close(folder);
    const Outcome run = Run({"--report", "r.json", "src", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")),
              "1 map and 1 unreadable folder: 1 converted, 0 up to date, 1 failed");
    const nlohmann::json report = Report("r.json");
    ASSERT_EQ(report.size(), 2U) << report;
    EXPECT_EQ(report[1].at("result"), "failed");
    EXPECT_TRUE(report[1].at("output").is_null());
    EXPECT_EQ(Plain(report[1].at("source").at("text")).rfind("src/ddd", 0), 0U) << report;
    EXPECT_NE(report[1].at("reason").get<std::string>().find(": cannot "), std::string::npos) << report;
}

// A FIFO where a map, a tileset or an output goes is refused by its kind,
// each one failure with its reason, and never opened: no writer or reader
// ever comes, and the open would wait for one. A folder at an output path is
// no output either, up to date least of all.
TEST_F(Batch, AFifoOrAFolderWhereAFileGoesIsAFailureWithoutWaiting) {
    if (Windows()) {
        GTEST_SKIP() << "needs FIFOs";
    }
    for (const char* name : {"a.map", "c.map", "d.map"}) {
        PutMap(std::string("src/") + name, "t.vsp");
    }
    PutMap("src/b.map", "fifo.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    for (const char* fifo : {"src/x.map", "src/fifo.vsp", "out/d.rmp"}) {
        fs::create_directories(fs::path(work / fifo).parent_path());
        ASSERT_EQ(mkfifo((work / fifo).c_str(), 0600), 0) << fifo;
    }
    fs::create_directories(work / "out/c.rmp");
    const auto run = [this](const std::vector<std::string>& arguments) {
        return Finish(std::system(Line("timeout 30 " + BatchCommand(), Jobs(arguments)).c_str()));
    };
    const std::string failures =
        "failed: src/b.map with src/fifo.vsp: src/fifo.vsp: not a regular file (a FIFO)\n"
        "failed: src/c.map with src/t.vsp: out/c.rmp: not a regular file (a folder)\n"
        "failed: src/d.map with src/t.vsp: out/d.rmp: not a regular file (a FIFO)\n"
        "failed: src/x.map: not a regular file (a FIFO)\n";
    for (const auto& [options, counts] :
         {std::pair<std::vector<std::string>, std::string>{{}, "5 maps: 1 converted, 0 up to date, 4 failed"},
          {{"-n"}, "5 maps: 0 would be converted, 1 up to date, 4 failed"},
          {{"--force"}, "5 maps: 1 converted, 0 up to date, 4 failed"}}) {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"src", "out"});
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 1) << counts;
        const std::string out = Plain(outcome.out);
        const std::size_t end = out.find(" in ");
        ASSERT_NE(end, std::string::npos) << out;
        EXPECT_EQ(out.substr(0, end), counts);
        EXPECT_EQ(out.substr(out.find('\n', end) + 1), failures);
        // Standard error, not a terminal, had each failure's line as it came.
        EXPECT_EQ(SortedLines(Plain(outcome.err)), SortedLines(failures));
    }
    EXPECT_EQ(test::ReadDiskFile(work / "out/a.rmp"), Reference("src/a.map", "src/t.vsp"));
    // A FIFO map named alone; the tileset given for every map, refused before any map is read.
    const Outcome alone = run({"-n", "src/x.map", "out2"});
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(Plain(alone.out).find("1 map: 0 "), std::string::npos) << alone.out;
    EXPECT_NE(Plain(alone.out).find("failed: src/x.map: not a regular file (a FIFO)\n"),
              std::string::npos)
        << alone.out;
    const Outcome given = run({"--tileset", "src/fifo.vsp", "src/a.map", "out2"});
    EXPECT_EQ(given.status, 2);
    EXPECT_NE(Plain(given.err).find("--tileset src/fifo.vsp: not a regular file (a FIFO)\n"), std::string::npos)
        << given.err;
    EXPECT_FALSE(Exists("out2"));
    EXPECT_EQ(Temporaries(), 0U);
}

TEST_F(Batch, ReportsOneRecordPerMapInJsonAndCsv) {
    PutMap("src/a.map", "t.vsp");
    Put("src/b.map", {'n', 'o', 't'});
    Put("src/t.vsp", test::PatternVsp(5).Build());
    EXPECT_EQ(Run({"--report", "r.json", "src", "out"}).status, 1);
    const nlohmann::json report = Report("r.json");
    ASSERT_TRUE(report.is_array() && report.size() == 2) << report;
    EXPECT_EQ(report[0].at("result"), "converted");
    EXPECT_EQ(Plain(report[0].at("output").at("text")), "out/a.rmp");
    EXPECT_EQ(report[0].at("bytes"), fs::file_size(work / "out/a.rmp"));
    EXPECT_TRUE(report[0].at("reason").is_null());
    EXPECT_EQ(report[1].at("result"), "failed");
    EXPECT_TRUE(report[1].at("tileset").is_null());
    EXPECT_GE(report[1].at("milliseconds").get<double>(), 0.0);
    EXPECT_EQ(Run({"--force", "--report", "r.csv", "src", "out"}).status, 1);
    const std::string csv = Slurp(work / "r.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "source,tileset,output,result,reason,bytes,milliseconds");
    EXPECT_NE(Plain(csv).find("\nsrc/b.map,,out/b.rmp,failed,"), std::string::npos) << csv;
    // "-": the report, in JSON, has standard output to itself; the summary goes to standard error.
    const Outcome run = Run({"--force", "--report", "-", "src", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(nlohmann::json::parse(run.out).size(), 2U) << run.out;
    EXPECT_EQ(run.err.rfind("2 maps: 1 converted, 0 up to date, 1 failed in ", 0), 0U) << run.err;
    EXPECT_FALSE(Exists("-"));
    // A summary that can't be written fails the run too.
    if (fs::exists("/dev/full")) {
        std::string full = "cd " + Quoted(work.Path().string()) + " && exec " + BatchCommand();
        for (const std::string& argument : Jobs({"src", "out"})) {
            full += " " + Quoted(argument);
        }
        full += " >/dev/full 2>" + Quoted(capture / "err");
        const Outcome unsaid = Finish(std::system(full.c_str()));
        EXPECT_EQ(unsaid.status, 1);
        EXPECT_EQ(unsaid.err.substr(unsaid.err.find("gridport-batch: ")),
                  "gridport-batch: standard output: cannot write the summary\n");
    }
    // A report that can't be written fails the run and says why.
    fs::create_directory(work / "folder.json");
    const Outcome unwritten = Run({"--report", "folder.json", "src", "out"});
    EXPECT_EQ(unwritten.status, 1);
    EXPECT_NE(unwritten.err.find("gridport-batch: folder.json: "), std::string::npos) << unwritten.err;
    // So does a build log that can't be written; the maps are converted all the same.
    fs::create_directories(work / "out2/.gridport.log");
    const Outcome unlogged = Run({"src/a.map", "out2"});
    EXPECT_EQ(unlogged.status, 1);
    EXPECT_NE(Plain(unlogged.err).find("gridport-batch: out2/.gridport.log: not a regular file (a folder)"),
              std::string::npos) << unlogged.err;
    EXPECT_TRUE(Exists("out2/a.rmp"));
}

// A control character in a name is escaped in the summary's lines, which stay one each.
TEST_F(Batch, SummaryLinesEscapeControlCharacters) {
    if (Windows()) {
        GTEST_SKIP() << "Windows names hold no control characters";
    }
    Put("src/a\nb\x01\r\t\x7f.map", {'b', 'a', 'd'});
    const Outcome run = Run({"-n", "src", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\nfailed: src/a\\nb\\x01\\r\\t\\x7F.map: "), std::string::npos)
        << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;
}

// Names that aren't UTF-8 keep their bytes in the JSON report.
TEST_F(Batch, JsonReportKeepsNamesThatArentUtf8) {
    if (Windows()) {
        GTEST_SKIP() << "Windows names are UTF-16";
    }
    PutMap("src/x\xff.map", "t.vsp");
    PutMap("src/x\xfe.map", "t.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    EXPECT_EQ(Run({"--report", "r.json", "src", "out"}).status, 0);
    const nlohmann::json report = Report("r.json");
    ASSERT_EQ(report.size(), 2U) << report;
    EXPECT_EQ(report[0].at("source").at("bytes"), "c3JjL3j+Lm1hcA==");  // src/x\xfe.map
    EXPECT_EQ(report[1].at("source").at("bytes"), "c3JjL3j/Lm1hcA==");
    EXPECT_EQ(report[1].at("output").at("bytes"), "b3V0L3j/LnJtcA==");
    EXPECT_EQ(report[1].at("tileset").at("text"), "src/t.vsp");
}

TEST_F(Batch, TwoMapsOfOneOutputDoNotOverwriteEachOther) {
    PutMap("src/a.MAP", "t.vsp");
    PutMap("src/a.map", "t.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    const Outcome run = Run({"src", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(Plain(run.out).find("failed: src/a.map: its output out/a.rmp is the output of "
                                  "src/a.MAP too\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(test::ReadDiskFile(work / "out/a.rmp"), Reference("src/a.MAP", "src/t.vsp"));
}

// No output is any input of the batch: here SOURCE is inside OUTPUT and an
// RTS tileset is named like another map's output, and (where there are
// links) an output is a link to a map.
TEST_F(Batch, AnOutputThatIsAnyInputFailsItsMap) {
    PutMap("X/s/b.map", "t.rmp");
    const Bytes tileset = test::PatternRts(5, 8, 4).Build();
    Put("X/s/t.rmp", tileset);
    PutMap("X/s/s/t.map", "t.vsp");
    Put("X/s/s/t.vsp", test::PatternVsp(5).Build());
    PutMap("X/s/c.map", "t.rmp");
    const bool links = !Windows();
    if (links) {
        fs::create_symlink(fs::absolute(work / "X/s/b.map"), work / "X/c.rmp");
    }
    const Bytes map = test::ReadDiskFile(work / "X/s/b.map");
    for (const char* dryRun : {"-n", "-j1"}) {
        const Outcome run = Run({dryRun, "X/s", "X"});
        EXPECT_EQ(run.status, 1) << run.out;
        const std::string out = Plain(run.out);
        EXPECT_NE(out.find("failed: X/s/s/t.map with X/s/s/t.vsp: its output X/s/t.rmp is an input: the "
                           "tileset of X/s/b.map\n"),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("failed: X/s/c.map with X/s/t.rmp: its output X/c.rmp is an input: the map "
                           "X/s/b.map\n") != std::string::npos,
                  links)
            << out;
    }
    EXPECT_EQ(test::ReadDiskFile(work / "X/s/t.rmp"), tileset);
    EXPECT_EQ(test::ReadDiskFile(work / "X/s/b.map"), map);
    EXPECT_EQ(test::ReadDiskFile(work / "X/b.rmp"), Reference("X/s/b.map", "X/s/t.rmp"));
}

// --png draws each RMP file into NAME.png as rmpview draws it, byte for byte; the build log keeps it up to date
// until the RMP file, the picture or the size changes. Without --png, pictures are left alone.
TEST_F(Batch, PicturesAreRmpviewsAndStayUpToDate) {
#ifndef GRIDPORT_RMPVIEW_BINARY
    GTEST_SKIP() << "needs rmpview";
#else
    PutMap("src/a.map", "t.vsp");
    PutMap("src/x/b.map", "t.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    Put("src/x/t.vsp", test::PatternVsp(5).Build());
    const auto counts = [](const Outcome& run) { return Plain(run.out).substr(0, Plain(run.out).find(" in ")); };
    const auto rmpview = [this](const std::vector<std::string>& size, const std::string& rmp) {
        std::vector<std::string> arguments = size;
        arguments.insert(arguments.end(), {"--png", capture / "r.png", rmp});
        EXPECT_EQ(Native(GRIDPORT_RMPVIEW_BINARY, arguments).status, 0) << rmp;
        return test::ReadDiskFile(capture / "r.png");
    };
    const auto written = [this](const char* name) { return fs::last_write_time(work / name); };
    Outcome run = Run({"--png", "--report", "r.json", "-j", "2", "src", "out"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(counts(run), "2 maps: 2 converted, 0 up to date, 0 failed, 2 pictures drawn");
    EXPECT_EQ(Plain(Report("r.json")[1].at("picture").at("text")), "out/x/b.png");
    // The same writer makes the same bytes of the same pixels (Windows' own encoder makes others).
    const bool sameWriter = !Windows();
    for (const auto& [rmp, png] : {std::pair{"out/a.rmp", "out/a.png"}, {"out/x/b.rmp", "out/x/b.png"}}) {
        EXPECT_TRUE(!sameWriter || test::ReadDiskFile(work / png) == rmpview({}, work / rmp)) << png;
    }
    run = Run({"--png", "src", "out"});
    EXPECT_EQ(counts(run), "2 maps: 0 converted, 2 up to date, 0 failed, 0 pictures drawn");
    // Another size draws both again, the RMP files up to date; as does a picture older than its RMP file.
    for (const std::vector<std::string>& size : {std::vector<std::string>{"--size", "7x5"}, {"-s", "0.5"}}) {
        std::vector<std::string> arguments = {"--png", "src", "out"};
        arguments.insert(arguments.begin(), size.begin(), size.end());
        run = Run(arguments);
        EXPECT_EQ(counts(run), "2 maps: 0 converted, 2 up to date, 0 failed, 2 pictures drawn") << size[1];
        EXPECT_EQ(counts(Run(arguments)), "2 maps: 0 converted, 2 up to date, 0 failed, 0 pictures drawn");
        EXPECT_TRUE(!sameWriter || test::ReadDiskFile(work / "out/a.png") == rmpview(size, work / "out/a.rmp"))
            << size[1];
    }
    fs::last_write_time(work / "out/a.png", written("out/a.rmp") - std::chrono::seconds(5));
    EXPECT_EQ(counts(Run({"-n", "-s", "0.5", "--png", "src", "out"})),
              "would draw out/a.rmp into out/a.png\n2 maps: 0 would be converted, 2 up to date, 0 failed, "
              "1 picture would be drawn");
    EXPECT_EQ(counts(Run({"-s", "0.5", "--png", "src", "out"})),
              "2 maps: 0 converted, 2 up to date, 0 failed, 1 picture drawn");
    // Without --png an RMP file made again leaves its picture as it was, which --png then finds out of date.
    const Bytes picture = test::ReadDiskFile(work / "out/a.png");
    const auto drawn = written("out/a.png");
    EXPECT_EQ(counts(Run({"--force", "src", "out"})), "2 maps: 2 converted, 0 up to date, 0 failed");
    EXPECT_EQ(written("out/a.png"), drawn);
    EXPECT_EQ(test::ReadDiskFile(work / "out/a.png"), picture);
    EXPECT_EQ(counts(Run({"-s", "0.5", "--png", "src", "out"})),
              "2 maps: 0 converted, 2 up to date, 0 failed, 2 pictures drawn");
    EXPECT_EQ(Temporaries(), 0U);
#endif
}

// A picture that is an input, or whose place holds a FIFO or a folder, fails its map before anything is written,
// without waiting; one that can't be drawn fails its map after its RMP file is.
TEST_F(Batch, PicturesThatCantBeWrittenFailTheirMaps) {
    if (Windows()) {
        GTEST_SKIP() << "needs FIFOs";
    }
#ifndef GRIDPORT_RMPVIEW_BINARY
    GTEST_SKIP() << "a build without the viewers (and libpng) writes no PNG file";
#endif
    for (const char* name : {"a.map", "b.map", "c.map"}) {
        PutMap(std::string("src/") + name, "t.vsp");
    }
    PutMap("src/d.map", "d.png");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    const Bytes tileset = test::PatternRts(5, 8, 4).Build();
    Put("src/d.png", tileset);
    test::MapV1File wide = test::TownMap();
    wide.text = "t.vsp";
    wide.width = 2100;  // wider than any picture, at 8 pixels a tile or more
    wide.height = 1;
    wide.background.assign(wide.width, 1);
    wide.foreground.assign(wide.width, 0);
    Put("src/e.map", wide.Build());
    ASSERT_EQ(mkfifo((work / "src/a.png").c_str(), 0600), 0);
    fs::create_directories(work / "src/b.png");
    const std::string refused =
        "failed: src/a.map with src/t.vsp: its picture src/a.png: not a regular file (a FIFO)\n"
        "failed: src/b.map with src/t.vsp: its picture src/b.png: not a regular file (a folder)\n"
        "failed: src/d.map with src/d.png: its picture src/d.png is an input: the tileset of src/d.map\n";
    for (const char* dryRun : {"-n", "-j1"}) {
        const Outcome run =
            Finish(std::system(Line("timeout 30 " + BatchCommand(), Jobs({dryRun, "--png", "src", "src"})).c_str()));
        EXPECT_EQ(run.status, 1);
        const std::string out = Plain(run.out);
        EXPECT_NE(out.find(refused), std::string::npos) << out;
        EXPECT_EQ(out.find("failed: src/e.map with src/t.vsp: its picture src/e.png: src/e.rmp: ") != std::string::npos,
                  std::string(dryRun) != "-n")
            << out;
        EXPECT_FALSE(Exists("src/a.rmp") || Exists("src/b.rmp") || Exists("src/d.rmp"));
    }
    EXPECT_EQ(test::ReadDiskFile(work / "src/d.png"), tileset);
    EXPECT_EQ(test::ReadDiskFile(work / "src/c.rmp"), Reference("src/c.map", "src/t.vsp"));
    EXPECT_EQ(test::ReadDiskFile(work / "src/e.rmp"), Reference("src/e.map", "src/t.vsp"));
    EXPECT_TRUE(Exists("src/c.png"));
    EXPECT_FALSE(Exists("src/e.png"));
    EXPECT_EQ(Temporaries(), 0U);
}

// OUTPUT the same folder as SOURCE, however spelt, puts each RMP file beside
// its map, and a second run finds them up to date; a folder where an RMP file
// goes is a failure, never up to date.
TEST_F(Batch, OutputSameAsSourceConvertsInPlace) {
    PutMap("ex/a.map", "t.vsp");
    PutMap("ex/sub/b.map", "../t.vsp");
    PutMap("ex/c.map", "t.vsp");
    Put("ex/t.vsp", test::PatternVsp(5).Build());
    fs::create_directories(work / "ex/c.rmp");
    for (const auto& [operands, counts] :
         {std::pair<std::vector<std::string>, std::string>{{"ex", "ex"}, "3 maps: 2 converted, 0 up to date, 1 failed"},
          {{"ex/.", "./ex/"}, "3 maps: 0 converted, 2 up to date, 1 failed"}}) {
        const Outcome run = Run(operands);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), counts) << run.out;
        EXPECT_NE(Plain(run.out).find("c.rmp: not a regular file (a folder)\n"), std::string::npos) << run.out;
    }
    EXPECT_EQ(test::ReadDiskFile(work / "ex/a.rmp"), Reference("ex/a.map", "ex/t.vsp"));
    EXPECT_EQ(test::ReadDiskFile(work / "ex/sub/b.rmp"), Reference("ex/sub/b.map", "ex/t.vsp"));
    EXPECT_TRUE(Exists("ex/.gridport.log"));
}

// Up to date knows the pairing: swapping two --tilesets folders, or another
// --tileset, converts again exactly the maps paired otherwise; a damaged log
// makes the maps it no longer names out of date, and fails nothing.
TEST_F(Batch, UpToDateNeedsTheBuildLogsWordForThePair) {
    for (const auto& [map, tileset] : {std::pair{"a", "t.vsp"}, {"b", "u.vsp"}, {"c", "v.vsp"}}) {
        PutMap(std::string("src/") + map + ".map", tileset);
    }
    Put("lib1/t.vsp", test::PatternVsp(5).Build());
    Put("lib1/v.vsp", test::PatternVsp(5).Build());
    Put("lib2/t.vsp", test::PatternVsp(6).Build());
    Put("lib2/u.vsp", test::PatternVsp(5).Build());
    const auto counts = [this](const std::vector<std::string>& arguments) {
        const Outcome run = Run(arguments);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        return run.out.substr(0, run.out.find(" in "));
    };
    const std::vector<std::string> first{"--tilesets", "lib1", "--tilesets", "lib2", "src", "out"};
    const std::vector<std::string> swapped{"--tilesets", "lib2", "--tilesets", "lib1", "src", "out"};
    EXPECT_EQ(counts(first), "3 maps: 3 converted, 0 up to date, 0 failed");
    EXPECT_EQ(Plain(Slurp(work / "out/.gridport.log")).rfind("gridport-batch build log 2\na.rmp\tsrc/a.map\tlib1/t.vsp\t", 0),
              0U);
    EXPECT_EQ(counts(first), "3 maps: 0 converted, 3 up to date, 0 failed");
    EXPECT_EQ(counts(swapped), "3 maps: 1 converted, 2 up to date, 0 failed");
    EXPECT_EQ(test::ReadDiskFile(work / "out/a.rmp"), Reference("src/a.map", "lib2/t.vsp"));
    EXPECT_EQ(counts({"--tileset", "lib1/t.vsp", "src/a.map", "out"}), "1 map: 1 converted, 0 up to date, 0 failed");
    EXPECT_EQ(counts({"--tileset", "lib1/t.vsp", "src/a.map", "out"}), "1 map: 0 converted, 1 up to date, 0 failed");
    EXPECT_EQ(counts(swapped), "3 maps: 1 converted, 2 up to date, 0 failed");
    // The last line cut short, then a log of another kind.
    const std::string log = Slurp(work / "out/.gridport.log");
    Put("out/.gridport.log", Bytes(log.begin(), log.end() - 3));
    EXPECT_EQ(counts(swapped), "3 maps: 1 converted, 2 up to date, 0 failed");
    Put("out/.gridport.log", {0xFF, '\n'});
    EXPECT_EQ(counts(swapped), "3 maps: 3 converted, 0 up to date, 0 failed");
    const std::string remade = Slurp(work / "out/.gridport.log");
    EXPECT_EQ(std::count(remade.begin(), remade.end(), '\n'), 4) << remade;
    EXPECT_EQ(Temporaries(), 0U);
}

struct UsageCase {
    std::vector<std::string> arguments;
    const char* message;
};

TEST_F(Batch, WrongUsageIsStatusTwoAndTouchesNothing) {
    for (const UsageCase& c : {UsageCase{{}, "SOURCE and OUTPUT are needed"},
                               UsageCase{{"a", "b", "c"}, "too many operands"},
                               UsageCase{{"-j", "0", "a", "b"}, "the number of jobs must be"},
                               UsageCase{{"--jobs"}, "--jobs needs a value"},
                               UsageCase{{"--bogus", "a", "b"}, "unknown option '--bogus'"},
                               UsageCase{{"--force=yes", "a", "b"}, "--force takes no value"},
                               UsageCase{{"-", "out"}, "SOURCE can't be a standard stream"},
                               UsageCase{{"--report", "r.txt", "a", "b"}, "must end in .json or .csv"},
                               UsageCase{{"--tileset", "t", "--tilesets", "d", "a", "b"}, "can't be given with"},
                               UsageCase{{"--size", "8", "a", "b"}, "--size goes with --png"},
                               UsageCase{{"-s", "2", "a", "b"}, "--scale goes with --png"},
                               UsageCase{{"--png", "--size", "8", "-s", "2", "a", "b"}, "don't go together"},
                               UsageCase{{"--png", "--size", "0x3", "a", "b"}, "the size must be WxH or N"},
                               UsageCase{{"--format", "tmx", "a", "b"}, "the format must be rmp or tmj, not \"tmx\""},
                               UsageCase{{"--png", "--format", "tmj", "a", "b"}, "doesn't go with --format tmj"},
                               // What can be checked before any map is read.
                               UsageCase{{"--tilesets", "nosuchdir", "a", "b"}, "--tilesets nosuchdir: no such folder"},
                               UsageCase{{"--tileset", "nosuch.vsp", "a", "b"}, "--tileset nosuch.vsp: cannot open: No such"},
                               UsageCase{{"--report", "nodir/r.json", "a", "b"},
                                         "--report nodir/r.json: its folder nodir/ is not there"}}) {
        const Outcome run = Run(c.arguments);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(work.Path()));
    }
    Put("f", {'x'});
    const Outcome file = Run({"--tilesets", "f", "a", "b"});
    EXPECT_EQ(file.status, 2);
    EXPECT_NE(file.err.find("--tilesets f: not a folder but a regular file"), std::string::npos) << file.err;
    Outcome run = Run({"-h"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: gridport-batch", 0), 0U);
    for (const char* version : {"-v", "-V", "--version"}) {
        run = Run({version});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, std::string("gridport-batch (gridport) ") + kVersion + "\n");
    }
    PutMap("src/a.map", "t.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    Put("out", {1});
    run = Run({"src", "out"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("gridport-batch: OUTPUT out: not a folder but a regular file\n"), std::string::npos) << run.err;
    run = Run({"missing", "out2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("missing: cannot open"), std::string::npos) << run.err;
}

#ifdef GRIDPORT_MAPVIEW_BINARY
// Tiled maps are mapview's but for the tileset's name; the maps of one tileset file and version share its tileset.
TEST_F(Batch, TiledMapsAreMapviewsAndShareTheirTilesets) {
    PutMap("src/a.map", "t.vsp");
    PutMap("src/c.map", "t.vsp");
    test::MapV2File version2 = test::HarbourMap();
    version2.text = "t.vsp";
    Put("src/d.map", version2.Build());
    Put("src/x/b.map", version2.Build());
    Put("src/t.vsp", test::PatternVsp(5).Build());
    Put("src/x/t.vsp", test::PatternVsp(6).Build());
    Outcome run = Run({"-j", "2", "--format", "tmj", "src", "out"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Plain(run.out).substr(0, run.out.find(" in ")), "4 maps: 4 converted, 0 up to date, 0 failed");
    EXPECT_NE(Plain(run.out).find("\nTiled project: out/out.tiled-project\n"), std::string::npos) << run.out;
    // (map, its tileset, the shared tileset's name, how the map refers to it)
    const std::vector<std::vector<std::string>> maps{{"a", "src/t.vsp", "t-v1", "tilesets/t-v1.tsj"},
                                                     {"c", "src/t.vsp", "t-v1", "tilesets/t-v1.tsj"},
                                                     {"d", "src/t.vsp", "t", "tilesets/t.tsj"},
                                                     {"x/b", "src/x/t.vsp", "t-2", "../tilesets/t-2.tsj"}};
    const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    for (const std::vector<std::string>& map : maps) {
        const std::string stem = fs::path(map[0]).filename().string();
        const fs::path reference = capture / (stem + ".tmj");
        ASSERT_EQ(Native(GRIDPORT_MAPVIEW_BINARY, {"src/" + map[0] + ".map", map[1], reference}).status, 0);
        EXPECT_EQ(Slurp(work / ("out/" + map[0] + ".tmj")),
                  replaced(Slurp(reference), "\"source\":\"" + stem + ".tsj\"", "\"source\":\"" + map[3] + "\""));
        const std::string tileset = replaced(replaced(Slurp(capture / (stem + ".tsj")), "\"name\":\"" + stem + "\"",
                                                      "\"name\":\"" + map[2] + "\""),
                                             "\"image\":\"" + stem + ".png", "\"image\":\"" + map[2] + ".png");
        EXPECT_EQ(Slurp(work / ("out/tilesets/" + map[2] + ".tsj")), tileset) << map[0];
        if (!Windows()) {  // the same writer makes the same bytes (Windows' own encoder makes others)
            EXPECT_EQ(Slurp(work / ("out/tilesets/" + map[2] + ".png")), Slurp(capture / (stem + ".png"))) << map[0];
        }
    }
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(fs::path(work / "out/tilesets"))) {
        written.push_back(entry.path().filename().string());
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"t-2.png", "t-2.tsj", "t-v1.png", "t-v1.tsj", "t.png", "t.tsj"}));
    EXPECT_FALSE(Exists("out/a.tsj"));
    const nlohmann::json project = Report("out/out.tiled-project");
    EXPECT_EQ(project, nlohmann::json::parse(R"({"automappingRulesFile":"","commands":[],"extensionsPath":"extensions",
                                                "folders":["."],"propertyTypes":[]})"));
    // Up to date while the shared tileset is there; another format's outputs are other files.
    run = Run({"--format", "tmj", "src", "out"});
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "4 maps: 0 converted, 4 up to date, 0 failed");
    EXPECT_EQ(run.out.find("Tiled project"), std::string::npos);
    fs::remove(work / "out/tilesets/t-2.png");
    run = Run({"--format", "tmj", "src", "out"});
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "4 maps: 1 converted, 3 up to date, 0 failed");
    EXPECT_TRUE(Exists("out/tilesets/t-2.png"));
    run = Run({"src", "out"});
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "4 maps: 4 converted, 0 up to date, 0 failed");
    EXPECT_EQ(test::ReadDiskFile(work / "out/x/b.rmp"), Reference("src/x/b.map", "src/x/t.vsp"));
    run = Run({"--format", "tmj", "src", "out"});
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "4 maps: 0 converted, 4 up to date, 0 failed");
    EXPECT_EQ(Temporaries(), 0U);
}

// A shared tileset is written by the next of its maps when the first fails, and never over a tileset read.
TEST_F(Batch, TiledTilesetsOutliveAFailureAndAreNeverInputs) {
    test::MapV1File bad = test::TownMap();
    bad.text = "t.vsp";
    bad.background[5] = 40;
    Put("src/a.map", bad.Build());
    PutMap("src/b.map", "t.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    test::MapV2File rts = test::HarbourMap();
    rts.text = "tilesets\\t.png";
    Put("src/c.map", rts.Build());
    const Bytes tiles = test::PatternRts(5, 8, 4).Build();
    Put("src/tilesets/t.png", tiles);
    const Outcome run = Run({"-j", "1", "--format", "tmj", "src", "src"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "3 maps: 2 converted, 0 up to date, 1 failed") << run.out;
    EXPECT_TRUE(Exists("src/tilesets/t-v1.tsj"));
    EXPECT_NE(Slurp(work / "src/b.tmj").find("\"source\":\"tilesets/t-v1.tsj\""), std::string::npos);
    EXPECT_EQ(test::ReadDiskFile(work / "src/tilesets/t.png"), tiles);
    EXPECT_NE(Slurp(work / "src/c.tmj").find("\"source\":\"tilesets/t-2.tsj\""), std::string::npos);
    EXPECT_TRUE(Exists("src/tilesets/t-2.png"));
}
#endif

TEST_F(Batch, FailFastTakesNoMapAfterAFailure) {
    Put("src/a.map", {'b', 'a', 'd'});
    for (int i = 0; i < 5; ++i) {
        PutMap("src/m" + std::to_string(i) + ".map", "t.vsp");
    }
    Put("src/t.vsp", test::PatternVsp(5).Build());
    const Outcome run = Run({"-j1", "--fail-fast", "src", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")), "6 maps: 0 converted, 0 up to date, 1 failed, 5 not done");
    EXPECT_EQ(Run({"--keep-going", "src", "out"}).status, 1);
    EXPECT_TRUE(Exists("out/m4.rmp"));
}

TEST_F(Batch, OutputInsideSourceAndLinkLoopsAreNotInputs) {
    PutMap("src/a.map", "t.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    if (!Windows()) {
        fs::create_directory_symlink("..", work / "src/loop");
        fs::create_symlink("gone.map", work / "src/dangling.map");
    }
    // A folder named like a map is walked, not read.
    PutMap("src/d.map/inner.map", "../t.vsp");
    // Maps inside the output folder, as a user might have left them there.
    PutMap("src/out/old.map", "../t.vsp");
    const Outcome run = Run({"src", "src/out"});
    const std::size_t dangling = Windows() ? 0 : 1;
    EXPECT_EQ(run.status, dangling) << run.out;
    EXPECT_EQ(run.out.substr(0, run.out.find(" in ")),
              std::to_string(2 + dangling) + " maps: 2 converted, 0 up to date, " + std::to_string(dangling) + " failed");
    EXPECT_TRUE(Exists("src/out/d.map/inner.rmp"));
    EXPECT_FALSE(Exists("src/out/out"));
    EXPECT_EQ(Run({"src", "src/out"}).out.substr(0, 10), std::to_string(2 + dangling) + " maps: 0 ");
    if (!Windows()) {
        // A backslash is part of a name here: "o\x" is one folder, and no "o\" is made.
        EXPECT_EQ(Run({"src/a.map", "o\\x"}).status, 0);
        EXPECT_TRUE(Exists("o\\x/a.rmp"));
        EXPECT_FALSE(Exists("o\\"));
    }
}

TEST_F(Batch, CtrlCPrintsTheSummaryLeavesNoTemporaryAndDiesByTheSignal) {
    if (Windows()) {
        GTEST_SKIP() << "Wine gives a Windows program no SIGINT to catch";
    }
    if (!std::string_view(GRIDPORT_EMULATOR).empty()) {
        GTEST_SKIP() << "signals reach the program through the emulator";
    }
    // Maps large enough that the batch is still at work when the signal comes.
    test::MapV2File map;
    map.text = "t.vsp";
    map.order = "1";
    map.layers = {test::MapV2Layer{512, 512, std::vector<std::uint16_t>(512 * 512, 3), {}}};
    const Bytes bytes = map.Build();
    for (int i = 0; i < 300; ++i) {
        Put("src/m" + std::to_string(i) + ".map", bytes);
    }
    Put("src/t.vsp", test::PatternVsp(5).Build());
    const std::string line = Line(BatchCommand(), Jobs({"-j", "2", "src", "out"}));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // The signal comes once the first map is converted: the handler is in
    // place, and most maps are still to do.
    for (int wait = 0; wait < 1000 && !Exists("out/m0.rmp") && !Exists("out/m1.rmp"); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGINT);
    int raw = 0;
    ASSERT_EQ(waitpid(child, &raw, 0), child);
    const Outcome run = Finish(raw);
    EXPECT_EQ(run.signal, SIGINT) << run.status << run.out;
    EXPECT_EQ(run.out.rfind("300 maps: ", 0), 0U) << run.out;
    EXPECT_NE(run.out.find(" not done"), std::string::npos) << run.out;
    EXPECT_EQ(Temporaries(), 0U);
}

// Signals a run and gives its raw status, and how long it took to end: -1
// when it hadn't ended 5 seconds later (it is killed then).
int Stop(test::Background& run, int signal, std::chrono::milliseconds& took) {
    const auto start = std::chrono::steady_clock::now();
    run.Signal(signal);
    const int raw = run.Wait(std::chrono::seconds(5));
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return raw;
}

// A write lease on a file: opening it, for reading too, waits in the
// kernel until Release (or for the lease-break time, 45 s by default). The
// notice that an open waits, SIGIO, is ignored meanwhile.
class Lease {
public:
    explicit Lease(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGIO, &ignore, &was_);
        held_ = fd_ >= 0 && fcntl(fd_, F_SETLEASE, F_WRLCK) == 0;
    }
    ~Lease() {
        Release();
        sigaction(SIGIO, &was_, nullptr);
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    bool Held() const { return held_; }
    void Release() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
    bool held_ = false;
    struct sigaction was_ {};
};

// Ctrl-C while a worker, or the command itself, waits in an open that
// doesn't end: a tileset under another process's lease, or the report, a
// FIFO nobody reads. The call is interrupted, the summary comes, and the
// run ends by the signal within a second, with no temporary file left.
TEST_F(Batch, CtrlCInterruptsABlockedOpen) {
    if (Windows() || !std::string_view(GRIDPORT_EMULATOR).empty()) {
        GTEST_SKIP() << "needs POSIX signals, leases and FIFOs, not through an emulator";
    }
    PutMap("src/a.map", "t.vsp");
    PutMap("src/b.map", "t.vsp");
    Put("src/t.vsp", test::PatternVsp(5).Build());
    ASSERT_EQ(mkfifo((work / "r.json").c_str(), 0600), 0);
    const struct {
        std::vector<std::string> arguments;
        const char* summary;
    } rows[] = {
        {{"-j", "1", "--force", "src", "out"}, "2 maps: 0 converted, 0 up to date, 0 failed, 2 not done"},
        {{"-j", "2", "--force", "src", "out"}, "2 maps: 0 converted, 0 up to date, 0 failed, 2 not done"},
        {{"-j", "2", "--force", "--report", "r.json", "src", "out"}, "2 maps: 2 converted, 0 up to date, 0 failed"},
    };
    for (const auto& row : rows) {
        const bool report = row.arguments[3] == "--report";
        std::optional<Lease> lease;
        if (!report) {
            lease.emplace(work / "src/t.vsp");
            ASSERT_TRUE(lease->Held()) << std::strerror(errno);
        }
        test::Background run(Line(BatchCommand(), row.arguments));
        // The report waits for the maps.
        for (int wait = 0; wait < 2000 && report && !Exists("out/b.rmp"); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::chrono::milliseconds took{};
        const Outcome outcome = Finish(Stop(run, SIGINT, took));
        EXPECT_EQ(outcome.signal, SIGINT) << row.arguments[1] << " " << row.arguments[3] << " " << outcome.status;
        EXPECT_LT(took.count(), 1000) << row.arguments[1] << " " << row.arguments[3];
        EXPECT_EQ(outcome.out.substr(0, outcome.out.find(" in ")), row.summary) << outcome.out;
        EXPECT_EQ(Temporaries(), 0U);
    }
}

// SIGHUP or SIGQUIT with 200 outputs open at once, more than any fixed
// table of temporary files would hold: each is removed, the summary and the
// report are written, and the run ends by the signal. A preloaded library
// holds every output at its first write.
TEST_F(Batch, HangupWithTwoHundredOutputsOpenLeavesNoTemporary) {
#ifndef GRIDPORT_HOLD_WRITES
    GTEST_SKIP() << "needs a library preloaded into a native Linux run";
#else
    if (Windows() || !std::string_view(GRIDPORT_EMULATOR).empty()) {
        GTEST_SKIP() << "needs a library preloaded into a native Linux run";
    }
    constexpr std::size_t kMaps = 200;
    for (std::size_t i = 0; i < kMaps; ++i) {
        PutMap("src/m" + std::to_string(i) + ".map", "t.vsp");
    }
    Put("src/t.vsp", test::PatternVsp(5).Build());
    const std::string preloaded = "env LD_PRELOAD=" + Quoted(GRIDPORT_HOLD_WRITES) +
                                  " ASAN_OPTIONS=verify_asan_link_order=0:$ASAN_OPTIONS " + BatchCommand();
    for (const int signal : {SIGHUP, SIGQUIT}) {
        test::Background run(Line(preloaded, {"-j", std::to_string(kMaps), "--force", "--report", "r.json", "src", "out"}));
        std::size_t open = 0;
        for (int wait = 0; wait < 1000 && open < kMaps; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            open = fs::exists(work / "out") ? Temporaries() : 0;
        }
        ASSERT_EQ(open, kMaps);
        std::chrono::milliseconds took{};
        const Outcome outcome = Finish(Stop(run, signal, took));
        EXPECT_EQ(outcome.signal, signal) << outcome.status << outcome.out;
        EXPECT_EQ(outcome.out.substr(0, outcome.out.find(" in ")),
                  "200 maps: 0 converted, 0 up to date, 0 failed, 200 not done");
        EXPECT_TRUE(Exists("r.json"));
        EXPECT_EQ(Temporaries(), 0U);
        fs::remove(work / "r.json");
    }
    // The pictures of RMP files up to date, held as they are written: abandoned, they leave nothing.
    ASSERT_EQ(Run({"src", "out"}).status, 0);
    test::Background drawing(Line(preloaded, {"-j", std::to_string(kMaps), "--png", "src", "out"}));
    std::size_t open = 0;
    for (int wait = 0; wait < 1000 && open < kMaps; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        open = Temporaries();
    }
    ASSERT_EQ(open, kMaps);
    std::chrono::milliseconds took{};
    const Outcome outcome = Finish(Stop(drawing, SIGTERM, took));
    EXPECT_EQ(outcome.signal, SIGTERM) << outcome.status << outcome.out;
    EXPECT_EQ(outcome.out.substr(0, outcome.out.find(" in ")),
              "200 maps: 0 converted, 200 up to date, 0 failed, 0 pictures drawn");
    EXPECT_EQ(Temporaries(), 0U);
    EXPECT_FALSE(Exists("out/m0.png"));
#endif
}

// Both versions, both tileset kinds, one map in ten broken: every output is
// gridport's for its pair, every failure one that gridport fails on, with
// mapview's reason.
TEST_F(Batch, MatchesGridportOnAGeneratedTree) {
    std::mt19937 random(25);
    const auto draw = [&random](int below) { return static_cast<int>(random() % static_cast<unsigned>(below)); };
    Put("src/shared/Tiles.rts", test::PatternRts(9, 8, 4).Build());
    Put("src/shared/TILES.VSP", test::PatternVsp(9, 1).Build());
    constexpr int kMaps = 320;
    std::vector<bool> broken(kMaps);
    for (int i = 0; i < kMaps; ++i) {
        const std::string folder = "src/" + std::string(1, static_cast<char>('a' + i % 7)) + "/";
        const std::string tileset = i % 2 == 0 ? "..\\shared\\tiles.rts" : "../Shared/tiles.vsp";
        const int width = 1 + draw(40);
        const int height = 1 + draw(40);
        std::vector<std::uint16_t> cells(static_cast<std::size_t>(width * height));
        for (std::uint16_t& cell : cells) {
            cell = static_cast<std::uint16_t>(draw(4) == 0 ? 0 : draw(9));
        }
        broken[i] = i % 10 == 3;
        if (broken[i] && i % 20 == 3) {
            cells[cells.size() / 2] = 9;  // beyond the tileset
        }
        Bytes bytes;
        if (i % 3 == 0) {
            test::MapV1File map;
            map.text = tileset.substr(0, 13) == tileset ? tileset : "tiles.vsp";
            map.width = static_cast<std::uint16_t>(width);
            map.height = static_cast<std::uint16_t>(height);
            map.background = cells;
            map.foreground = std::vector<std::uint16_t>(cells.rbegin(), cells.rend());
            bytes = map.Build();
        } else {
            test::MapV2File map;
            map.text = tileset;
            map.order = i % 2 == 0 ? "1E2" : "21";
            map.layers = {test::MapV2Layer{static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), cells, {}},
                          test::MapV2Layer{2, 1, {1, 2}, {}}};
            bytes = map.Build();
        }
        if (broken[i] && i % 20 != 3) {
            bytes.resize(bytes.size() - 1 - static_cast<std::size_t>(draw(static_cast<int>(bytes.size()))));
        }
        Put(folder + "map" + std::to_string(i) + ".map", bytes);
    }
    ASSERT_EQ(Run({"--tilesets", "src/shared", "--report", "r.json", "src", "out"}).status, 1);
    const nlohmann::json report = Report("r.json");
    ASSERT_EQ(report.size(), static_cast<std::size_t>(kMaps));
    int failures = 0;
    for (const nlohmann::json& record : report) {
        const std::string map = Plain(record.at("source").at("text"));
        const std::string output = Plain(record.at("output").at("text"));
        const std::string reference = capture / "reference.rmp";
        fs::remove(reference);
        if (record.at("result") == "converted") {
            const std::string tileset = Plain(record.at("tileset").at("text"));
            ASSERT_EQ(Native(GRIDPORT_BINARY, {map, tileset, reference}).status, 0) << map;
            EXPECT_EQ(test::ReadDiskFile(work / output), test::ReadDiskFile(reference)) << map;
            continue;
        }
        ++failures;
        ASSERT_EQ(record.at("result"), "failed") << map;
        EXPECT_FALSE(Exists(output));
        const std::string tileset = record.at("tileset").is_null() ? "none.vsp" : Plain(record.at("tileset").at("text"));
        EXPECT_EQ(Native(GRIDPORT_BINARY, {map, tileset, reference}).status, 1) << map;
#ifdef GRIDPORT_MAPVIEW_BINARY
        const Outcome verdict = Native(GRIDPORT_MAPVIEW_BINARY, {map, tileset});
        EXPECT_EQ("mapview: " + Plain(record.at("reason")) + "\n", verdict.err) << map;
#else
        EXPECT_FALSE(record.at("reason").get<std::string>().empty());
#endif
    }
    EXPECT_EQ(failures, kMaps / 10);
}

}  // namespace
}  // namespace gridport
