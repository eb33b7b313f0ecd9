#include <gtest/gtest.h>

#include "batch/Options.h"

namespace gridport::batch {
namespace {

TEST(BatchOptions, TakesEveryOption) {
    const Expected<BatchOptions> options =
        ParseBatchOptions({"-j3", "--tilesets", "t1", "src", "--tilesets=t2", "-n", "--force", "--fail-fast",
                           "--keep-going", "--report", "-", "--", "-out"});
    ASSERT_TRUE(options) << options.error().Text();
    EXPECT_EQ(options->jobs, 3U);
    EXPECT_EQ(options->tilesetFolders, (std::vector<std::string>{"t1", "t2"}));
    EXPECT_EQ(options->report, "-");
    EXPECT_EQ(options->reportFormat, ReportFormat::Json);
    EXPECT_TRUE(options->dryRun && options->force && !options->failFast);
    EXPECT_EQ(options->source, "src");
    EXPECT_EQ(options->output, "-out");
    EXPECT_TRUE(ParseBatchOptions({"--keep-going", "--fail-fast", "a", "b"})->failFast);
    EXPECT_EQ(ParseBatchOptions({"--report=R.CSV", "a", "b"})->reportFormat, ReportFormat::Csv);
    for (const char* version : {"-v", "-V", "--version"}) {
        EXPECT_TRUE(ParseBatchOptions({version})->version);
    }
}

TEST(BatchOptions, RefusesWithAUsageError) {
    for (const auto& [arguments, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-j", "1025", "a", "b"}, "the number of jobs must be a whole number from 1 to 1024, not \"1025\""},
             {{"-j", "2x", "a", "b"}, "the number of jobs must be a whole number from 1 to 1024, not \"2x\""},
             {{"-j1", "-j", "2", "a", "b"}, "-j is given twice"},
             {{"--report", "a.json", "--report", "b.json", "a", "b"}, "--report is given twice"},
             {{"-", "out"}, "SOURCE can't be a standard stream ('-'); name a file '-' as ./-"},
             {{"src", "-"}, "OUTPUT can't be a standard stream ('-'); name a file '-' as ./-"},
             {{"--tileset", "-", "src", "out"}, "--tileset can't be a standard stream ('-'); name a file '-' as ./-"},
             {{"--report", "r", "a", "b"}, "the report's name must end in .json or .csv: r"},
             {{"a"}, "SOURCE and OUTPUT are needed"},
             {{"-nv"}, "unknown option '-nv'"},
         }) {
        const Expected<BatchOptions> options = ParseBatchOptions(arguments);
        ASSERT_FALSE(options) << message;
        EXPECT_EQ(options.error().Kind(), ErrorKind::Usage);
        EXPECT_EQ(options.error().Text(), message);
    }
}

}  // namespace
}  // namespace gridport::batch
