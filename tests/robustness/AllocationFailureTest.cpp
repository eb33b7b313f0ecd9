// Makes the n-th allocation of a conversion throw std::bad_alloc, for every n
// up to the number a conversion makes. The global operator new is replaced
// for this whole binary; it counts, and fails, only while a test arms it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "filesystem/DefaultFileSystem.h"
#include "support/Conversion.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

struct AllocationPlan {
    bool armed = false;
    long count = 0;
    long failAt = 0;
};

AllocationPlan plan;

void* Allocate(std::size_t size) {
    if (plan.armed && ++plan.count == plan.failAt) {
        throw std::bad_alloc();
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void Free(void* block) noexcept {
    std::free(block);
}

}  // namespace

#include "support/ReplacedNew.h"

namespace gridport {
namespace {

using test::ConversionOutcome;
using test::ConversionSample;

// Runs the conversion of the sample with its failAt-th allocation failing
// (none when failAt is 0), as gridport does: running out of memory anywhere
// is a failed import. It checks what must hold whatever fails; the number of
// allocations made is left in plan.count.
ConversionOutcome ConvertFailing(FileSystem& files, const ConversionSample& sample, long failAt) {
    plan = {true, 0, failAt};
    ConversionOutcome outcome = ConversionOutcome::ImportFailed;
    try {
        outcome = test::Convert(files, sample.tilesetPath);
    } catch (const std::bad_alloc&) {
        outcome = ConversionOutcome::ImportFailed;
    }
    plan.armed = false;
    // No allocation fails unnoticed, and without a failure the map converts.
    EXPECT_EQ(outcome == ConversionOutcome::Converted, plan.count < failAt || failAt == 0) << failAt;
    return outcome;
}

class AllocationFailure : public ::testing::TestWithParam<ConversionSample> {};

TEST_P(AllocationFailure, EachFailedAllocationFailsTheConversionCleanly) {
    const ConversionSample& sample = GetParam();
    const auto filesOf = [&](test::MemoryFileSystem& files) {
        files.Put(test::kMapPath, sample.map);
        files.Put(sample.tilesetPath, sample.tileset);
    };
    test::MemoryFileSystem clean;
    filesOf(clean);
    ConvertFailing(clean, sample, 0);
    const long count = plan.count;
    ASSERT_GT(count, 0) << "the replaced operator new counted nothing";
    ASSERT_EQ(test::RmpFault(clean.Get(test::kOutputPath)), "");
    for (long failAt = 1; failAt <= count; ++failAt) {
        test::MemoryFileSystem files;
        filesOf(files);
        const bool converted = ConvertFailing(files, sample, failAt) == ConversionOutcome::Converted;
        ASSERT_EQ(files.OpenFiles(), 0) << failAt;
        // The map, the tileset and the output only when it was made.
        EXPECT_EQ(files.Paths().size(), converted ? 3U : 2U) << failAt;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, AllocationFailure, ::testing::ValuesIn(test::SmallConversions()),
                         [](const auto& info) { return info.param.name; });

// The same on disk, through the file system the command uses.
TEST(AllocationFailure, OnDiskEachFailedAllocationFailsTheConversionCleanly) {
    const ConversionSample sample = test::SmallConversions().front();
    test::TempDir work;
    const test::ScopedWorkingDirectory inside(work.Path());
    test::WriteDiskFile(test::kMapPath, sample.map);
    test::WriteDiskFile(sample.tilesetPath, sample.tileset);
    ConvertFailing(defaultFileSystem, sample, 0);
    const long count = plan.count;
    ASSERT_GT(count, 0) << "the replaced operator new counted nothing";
    for (long failAt = 1; failAt <= count; ++failAt) {
        std::filesystem::remove(test::kOutputPath);
        const bool imported = ConvertFailing(defaultFileSystem, sample, failAt) != ConversionOutcome::ImportFailed;
        EXPECT_TRUE(imported || !std::filesystem::exists(test::kOutputPath)) << failAt;
        // The map, the tileset and at most the output: no temporary file.
        EXPECT_LE(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 3)
            << failAt;
    }
}

}  // namespace
}  // namespace gridport
