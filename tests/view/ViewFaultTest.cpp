// Both viewers with each call of each file operation failing in turn, for
// the summary, the verdict and the picture: every run either ends as the
// clean one did, or fails with one line that names a file, and leaves no
// picture and no file open.

#include <gtest/gtest.h>

#include <functional>

#include "support/Conversion.h"
#include "support/MemoryFileSystem.h"
#include "view/MapViewCommand.h"
#include "view/RmpViewCommand.h"

namespace gridport {
namespace {

using test::FileOperation;
using test::MemoryFileSystem;
using Command = std::function<int(const std::vector<std::string>&, FileSystem&, std::string&, std::string&)>;

struct Case {
    const char* name;
    Command command;
    std::vector<std::string> arguments;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

void PutFaultInputs(MemoryFileSystem& files) {
    test::MapV2File harbour = test::HarbourMap();
    files.Put("map.map", harbour.Build());
    files.Put("tiles.rts", test::PatternRts(5, 4, 2).Build());
    test::Bytes rmp;
    EXPECT_EQ(test::Convert(harbour.Build(), files.Get("tiles.rts"), "tiles.rts", &rmp),
              test::ConversionOutcome::Converted);
    files.Put("map.rmp", rmp);
}

class ViewFault : public ::testing::TestWithParam<Case> {};

TEST_P(ViewFault, EveryFailedFileOperationEndsCleanly) {
    const auto run = [&](MemoryFileSystem& files, std::string& out, std::string& err) {
        return GetParam().command(GetParam().arguments, files, out, err);
    };
    MemoryFileSystem counted;
    PutFaultInputs(counted);
    std::string cleanOut;
    std::string cleanErr;
    ASSERT_EQ(run(counted, cleanOut, cleanErr), 0) << cleanErr;
    const test::Bytes picture = counted.Get("out.png");
    int failed = 0;
    for (int op = 0; op < static_cast<int>(FileOperation::Count); ++op) {
        const auto operation = static_cast<FileOperation>(op);
        for (int call = 1; call <= counted.Calls(operation); ++call) {
            MemoryFileSystem files;
            PutFaultInputs(files);
            const std::vector<std::string> paths = files.Paths();
            files.FailAt(operation, call);
            std::string out;
            std::string err;
            const int status = run(files, out, err);
            SCOPED_TRACE("operation " + std::to_string(op) + " call " + std::to_string(call));
            EXPECT_EQ(files.OpenFiles(), 0);
            if (status == 0) {
                EXPECT_EQ(out, cleanOut);
                EXPECT_EQ(files.Get("out.png"), picture);
                continue;
            }
            ++failed;
            EXPECT_EQ(status, 1) << err;
            ASSERT_EQ(err.find('\n'), err.size() - 1) << err;
            EXPECT_NE(err.find(": "), std::string::npos) << err;
            EXPECT_EQ(files.Paths(), paths) << err;
        }
    }
    // Reading and writing the files are most of the calls; each that fails
    // fails the run.
    EXPECT_GE(failed, counted.Calls(FileOperation::Read) + counted.Calls(FileOperation::Open));
}

const Command kRmpView = [](const auto& arguments, FileSystem& files, std::string& out, std::string& err) {
    return RunRmpView(arguments, files, out, err);
};
const Command kMapView = [](const auto& arguments, FileSystem& files, std::string& out, std::string& err) {
    return RunMapView(arguments, files, out, err);
};

INSTANTIATE_TEST_SUITE_P(Runs, ViewFault,
                         ::testing::Values(Case{"rmpview_summary", kRmpView, {"map.rmp"}},
                                           Case{"rmpview_picture", kRmpView, {"--png", "out.png", "map.rmp"}},
                                           Case{"rmpview_thumbnail", kRmpView, {"-s", "0.25", "map.rmp", "out.png"}},
                                           Case{"mapview_verdict", kMapView, {"map.map", "tiles.rts"}},
                                           Case{"mapview_picture", kMapView, {"--png", "out.png", "map.map", "tiles.rts"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace gridport
