// The build log over in-memory files: what is written reads back, names
// with tabs, newlines and '%' included; a damaged line is left out alone.

#include <gtest/gtest.h>

#include <string>

#include "base/Version.h"
#include "batch/BuildLog.h"
#include "support/MemoryFileSystem.h"

namespace gridport::batch {
namespace {

const Made kStamps{{1, 2}, {3, 4}, {5, 6}};

void PutText(test::MemoryFileSystem& files, const std::string& text) {
    files.Put("out/.gridport.log", test::Bytes(text.begin(), text.end()));
}

TEST(BuildLog, WhatIsWrittenReadsBackAndOtherOutputsAreKept) {
    test::MemoryFileSystem files;
    PutText(files, "gridport-batch build log 2\nold.rmp\told.map\tt.vsp\t1\t2\t3\t4\t5\t6\t0.9\n"
                   "a\tb.rmp\tx\ty\t0\t0\t0\t0\t0\t0\t0.9\n");
    const BuildLog old = BuildLog::Read(files, "out/.gridport.log");
    ASSERT_NE(old.Find("old.rmp"), nullptr);
    const std::vector<LogLine> made{{"a\tb.rmp", "m%1\n.map", "./x//t.vsp", kStamps, std::nullopt}};
    ASSERT_TRUE(old.Write(files, "out/.gridport.log", made.size(), [&](std::size_t i) { return made[i]; }));
    const test::Bytes bytes = files.Get("out/.gridport.log");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "gridport-batch build log 2\na%09b.rmp\tm%251%0A.map\tx/t.vsp\t1\t2\t3\t4\t5\t6\t" +
                  std::string(kVersion) + "\nold.rmp\told.map\tt.vsp\t1\t2\t3\t4\t5\t6\t0.9\n");
    const BuildLog log = BuildLog::Read(files, "out/.gridport.log");
    EXPECT_TRUE(log.Names("a\tb.rmp", "m%1\n.map", "x/./t.vsp", kStamps));
    EXPECT_FALSE(log.Names("a\tb.rmp", "m%1\n.map", "y/t.vsp", kStamps));
    EXPECT_FALSE(log.Names("a\tb.rmp", "m%1\n.map", "x/t.vsp", {{1, 2}, {3, 4}, {5, 7}}));
    // Another version's entry is never up to date.
    EXPECT_FALSE(log.Names("old.rmp", "old.map", "t.vsp", kStamps));
    // DEL is escaped too, and a path from the root keeps its root.
    const std::vector<LogLine> rooted{{"c.rmp", "\x7f/m.map", "/abs//t.vsp", kStamps, std::nullopt}};
    ASSERT_TRUE(log.Write(files, "out/.gridport.log", rooted.size(), [&](std::size_t i) { return rooted[i]; }));
    const test::Bytes again = files.Get("out/.gridport.log");
    EXPECT_NE(std::string(again.begin(), again.end()).find("\nc.rmp\t%7F/m.map\t/abs/t.vsp\t"), std::string::npos);
    EXPECT_TRUE(BuildLog::Read(files, "out/.gridport.log").Names("c.rmp", "\x7f/m.map", "/abs/t.vsp", kStamps));
}

TEST(BuildLog, ADamagedLineOrLogIsLeftOut) {
    test::MemoryFileSystem files;
    const std::string good = "g.rmp\tm\tt\t1\t2\t3\t4\t5\t6\tv\n";
    for (const char* bad : {"b.rmp\tm\tt\t1\t2\t3\t4\t5\tx\tv\n", "b.rmp\tm\tt\t1\t2\t3\t4\t5\tv\n",
                            "b.rmp\tm%G1\tt\t1\t2\t3\t4\t5\t6\tv\n", "b.rmp\tm\tt\t1\t2\t3\t4\t5\t6\tv\tw\n",
                            "b.rmp\t\tt\t1\t2\t3\t4\t5\t6\tv\n", "b.rmp\tm%2\tt\t1\t2\t3\t4\t5\t6\tv\n",
                            "b.rmp\tm%1G\tt\t1\t2\t3\t4\t5\t6\tv\n", "b.rmp\tm%:0\tt\t1\t2\t3\t4\t5\t6\tv\n",
                            "b.rmp\tm%/0\tt\t1\t2\t3\t4\t5\t6\tv\n", "b.rmp\tm%a0\tt\t1\t2\t3\t4\t5\t6\tv\n",
                            "b.rmp\tm\tt\t\t2\t3\t4\t5\t6\tv\n", "b.rmp\tm\tt\t1\t2\t3\t4\t5\t6\tv\t7\t8\n",
                            "b.rmp\tm\tt\t1\t2\t3\t4\t5\t6\tv\t7\tx\tfull\n",
                            "b.rmp\tm\tt\t1\t2\t3\t4\t5\t6\tv\t7\t8\t\n",
                            "b.rmp\tm\tt\t1\t2\t3\t4\t5\t6\tv\t7\t8\tfull\tx\n"}) {
        PutText(files, "gridport-batch build log 2\n" + std::string(bad) + good + "c.rmp\tm\tt\t1\t2");
        const BuildLog log = BuildLog::Read(files, "out/.gridport.log");
        EXPECT_EQ(log.Find("b.rmp"), nullptr) << bad;
        EXPECT_EQ(log.Find("c.rmp"), nullptr) << "a last line cut short";
        EXPECT_NE(log.Find("g.rmp"), nullptr) << bad;
    }
    // A log of the version before pictures is no log: all is out of date.
    PutText(files, "gridport-batch build log 1\n" + good);
    EXPECT_EQ(BuildLog::Read(files, "out/.gridport.log").Find("g.rmp"), nullptr);
}

// Lines share the tileset and version of the line before only when theirs is the same: each reads and writes back as
// it was, past a damaged line and another version's.
TEST(BuildLog, EachLineKeepsItsOwnTilesetAndVersion) {
    test::MemoryFileSystem files;
    const std::string v(kVersion);
    const std::string kept = "a.rmp\tm\ta.vsp\t1\t2\t3\t4\t5\t6\t" + v + "\nb.rmp\tm\ta.vsp\t1\t2\t3\t4\t5\t6\t" + v +
                             "\nc.rmp\tm\tb.vsp\t1\t2\t3\t4\t5\t6\t0.9\nd.rmp\tm\ta.vsp\t1\t2\t3\t4\t5\t6\t" + v + "\n";
    PutText(files, "gridport-batch build log 2\n" + kept.substr(0, kept.find("c.rmp")) + "x.rmp\tm\n" +
                       kept.substr(kept.find("c.rmp")));
    const BuildLog log = BuildLog::Read(files, "out/.gridport.log");
    for (const char* output : {"a.rmp", "b.rmp", "d.rmp"}) {
        EXPECT_TRUE(log.Names(output, "m", "a.vsp", kStamps)) << output;
        EXPECT_FALSE(log.Names(output, "m", "b.vsp", kStamps)) << output;
    }
    EXPECT_FALSE(log.Names("c.rmp", "m", "b.vsp", kStamps));
    ASSERT_TRUE(log.Write(files, "out/.gridport.log", 0, [](std::size_t) { return std::nullopt; }));
    const test::Bytes bytes = files.Get("out/.gridport.log");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "gridport-batch build log 2\n" + kept);
}

// A picture drawn is kept with its output's line, until the output is made again without one; a line kept keeps it.
TEST(BuildLog, PicturesAreKeptWithTheirOutputs) {
    test::MemoryFileSystem files;
    const DrawnPicture picture{{7, 8}, "size 64x32"};
    const std::vector<LogLine> drawn{{"a.rmp", "a.map", "t.vsp", kStamps, picture},
                                     {"b.rmp", "b.map", "t.vsp", kStamps, DrawnPicture{{9, 9}, "full"}}};
    ASSERT_TRUE(BuildLog{}.Write(files, "out/.gridport.log", drawn.size(), [&](std::size_t i) { return drawn[i]; }));
    const test::Bytes bytes = files.Get("out/.gridport.log");
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(std::string(kVersion) + "\t7\t8\tsize 64x32\n"),
              std::string::npos);
    const BuildLog log = BuildLog::Read(files, "out/.gridport.log");
    EXPECT_TRUE(log.Drew("a.rmp", picture));
    EXPECT_FALSE(log.Drew("a.rmp", {{7, 8}, "size 64x64"}));
    EXPECT_FALSE(log.Drew("a.rmp", {{7, 9}, "size 64x32"}));
    EXPECT_FALSE(log.Drew("c.rmp", picture));
    const std::vector<LogLine> again{{"b.rmp", "b.map", "t.vsp", kStamps, std::nullopt}};
    ASSERT_TRUE(log.Write(files, "out/.gridport.log", again.size(), [&](std::size_t i) { return again[i]; }));
    const BuildLog after = BuildLog::Read(files, "out/.gridport.log");
    EXPECT_TRUE(after.Drew("a.rmp", picture));
    EXPECT_FALSE(after.Drew("b.rmp", {{9, 9}, "full"}));
    EXPECT_TRUE(after.Names("b.rmp", "b.map", "t.vsp", kStamps));
}

// Only a file is read or replaced: a device at the log's path is neither opened nor written.
TEST(BuildLog, ALogThatIsNoFileIsEmptyAndNotWritten) {
    test::MemoryFileSystem files;
    files.PutDevice("out/.gridport.log", FileKind::Fifo);
    const BuildLog log = BuildLog::Read(files, "out/.gridport.log");
    EXPECT_EQ(log.Find("a.rmp"), nullptr);
    const Expected<void> written = log.Write(files, "out/.gridport.log", 0, [](std::size_t) { return std::nullopt; });
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().Text(), "out/.gridport.log: not a regular file (a FIFO)");
}

}  // namespace
}  // namespace gridport::batch
