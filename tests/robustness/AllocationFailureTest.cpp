// Makes the n-th allocation of a conversion throw std::bad_alloc, for every n
// up to the number a conversion makes. The global operator new is replaced
// for this whole binary; it counts, and fails, only while a test arms it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "support/Conversion.h"

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

using testing::Bytes;
using testing::ConversionOutcome;
using testing::ConversionSample;

// A map that already holds what an import must keep or clear.
void FillBeforeImport(TileMap& map) {
    map.headerX = 7;
    map.textA = "old";
    map.textList[0] = "kept";
    map.zones.push_back(MapZone{1, 2, 3, 4, 5, 6, "zone"});
    map.layers.emplace_back().SetName("old layer");
    map.tileset.AppendBlankTiles(2);
}

class AllocationFailure : public ::testing::TestWithParam<ConversionSample> {};

TEST_P(AllocationFailure, EachFailedAllocationFailsCleanlyOrChangesNothing) {
    const ConversionSample& sample = GetParam();
    Bytes expected;
    for (long failAt = 1;; ++failAt) {
        testing::MemoryFileSystem files;
        files.Put(testing::kMapPath, sample.map);
        files.Put(sample.tilesetPath, sample.tileset);
        TileMap map;
        FillBeforeImport(map);
        plan = {true, 0, failAt};
        const ConversionOutcome outcome = testing::Convert(files, map, sample.tilesetPath);
        plan.armed = false;
        const bool failed = plan.count >= failAt;
        ASSERT_EQ(files.OpenFiles(), 0) << failAt;
        if (outcome == ConversionOutcome::ImportFailed) {
            EXPECT_TRUE(map.layers.empty() && map.linkedFileName.empty() && map.textA.empty()) << failAt;
            EXPECT_TRUE(map.headerX == 7 && map.textList[0] == "kept" && map.zones.size() == 1) << failAt;
            EXPECT_EQ(map.tileset.TileCount(), 2) << failAt;
            EXPECT_FALSE(files.Has(testing::kOutputPath)) << failAt;
        }
        if (!failed) {
            // Past the last allocation: the clean run, whose output the runs
            // before must have matched whenever they succeeded.
            ASSERT_EQ(outcome, ConversionOutcome::Converted);
            expected = files.Get(testing::kOutputPath);
            EXPECT_EQ(testing::RmpFault(expected), "");
            std::printf("%s: %ld allocations\n", sample.name.c_str(), failAt - 1);
            break;
        }
        EXPECT_NE(outcome, ConversionOutcome::Converted) << "allocation " << failAt << " failed unnoticed";
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, AllocationFailure, ::testing::ValuesIn(testing::SmallConversions()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace gridport
