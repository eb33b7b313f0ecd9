// Makes the n-th allocation of a conversion throw std::bad_alloc, for every n
// up to the number a conversion makes. The global operator new is replaced
// for this whole binary; it counts, and fails, only while a test arms it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "filesystem/DefaultFileSystem.h"
#include "map/WriteString.h"
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

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

namespace gridport {
namespace {

using test::ConversionOutcome;
using test::ConversionSample;

// A map that already holds what an import must keep or clear.
void FillBeforeImport(TileMap& map) {
    map.headerX = 7;
    map.textA = "old";
    map.textList[0] = "kept";
    map.zones.push_back(MapZone{1, 2, 3, 4, 5, 6, "zone"});
    map.layers.emplace_back().SetName("old layer");
    map.tileset.AppendBlankTiles(2);
}

// Runs the conversion of the sample (through the map model, or in one
// streaming pass) with its failAt-th allocation failing (none when failAt is
// 0) and checks what must hold whatever fails; the number of allocations made
// is left in plan.count.
ConversionOutcome ConvertFailing(FileSystem& files, const ConversionSample& sample, long failAt,
                                 bool streaming = false) {
    TileMap map;
    FillBeforeImport(map);
    Error error;
    plan = {true, 0, failAt};
    const ConversionOutcome outcome = streaming ? test::ConvertStreaming(files, sample.tilesetPath, error)
                                                : test::Convert(files, map, sample.tilesetPath);
    plan.armed = false;
    if (outcome == ConversionOutcome::ImportFailed && !streaming) {
        EXPECT_TRUE(map.layers.empty() && map.linkedFileName.empty() && map.textA.empty()) << failAt;
        EXPECT_TRUE(map.headerX == 7 && map.textList[0] == "kept" && map.zones.size() == 1) << failAt;
        EXPECT_EQ(map.tileset.TileCount(), 2) << failAt;
    }
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
    for (const bool streaming : {false, true}) {
        test::MemoryFileSystem clean;
        filesOf(clean);
        ConvertFailing(clean, sample, 0, streaming);
        const long count = plan.count;
        ASSERT_EQ(test::RmpFault(clean.Get(test::kOutputPath)), "");
        for (long failAt = 1; failAt <= count; ++failAt) {
            test::MemoryFileSystem files;
            filesOf(files);
            const bool imported = ConvertFailing(files, sample, failAt, streaming) != ConversionOutcome::ImportFailed;
            ASSERT_EQ(files.OpenFiles(), 0) << failAt;
            EXPECT_TRUE(imported || !files.Has(test::kOutputPath)) << "streaming " << streaming << " " << failAt;
        }
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
    for (long failAt = 1; failAt <= count; ++failAt) {
        std::filesystem::remove(test::kOutputPath);
        const bool imported = ConvertFailing(defaultFileSystem, sample, failAt) != ConversionOutcome::ImportFailed;
        EXPECT_TRUE(imported || !std::filesystem::exists(test::kOutputPath)) << failAt;
        // The map, the tileset and at most the output: no temporary file.
        EXPECT_LE(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 3)
            << failAt;
    }
}

// Operations outside the conversion that catch a failed allocation.
TEST(AllocationFailure, SingleOperations) {
    RgbaImage image(2, 3);
    plan = {true, 0, 1};
    image.Resize(4, 4);
    plan.armed = false;
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.pixels.size(), 2U * 3 * 4);

    test::MemoryFileSystem files;
    const auto file = files.Open("out", OpenMode::Write);
    plan = {true, 0, 1};
    EXPECT_FALSE(WriteString(*file, "text"));
    plan.armed = false;
}

}  // namespace
}  // namespace gridport
