// The registry that a signal handler empties, driven here without a signal
// (a process a signal ends records nothing of what it ran).

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/TemporaryFiles.h"

namespace gridport {
namespace {

using namespace temporary_files;

std::vector<std::string> removed;
std::vector<std::unique_ptr<TemporaryFileEntry>> owners;
int pauses = 0;

// What the owners of the entries a handler waits for do meanwhile: the
// copies end, half of the files being made are made, the others never are.
void OwnersGoOn() {
    ++pauses;
    for (std::size_t i = 3; i < owners.size(); i += 4) {
        owners[i - 1]->Copying(false);
        i % 8 == 3 ? owners[i]->Made() : owners[i]->Forget();
    }
}

// Held files in three chunks are all removed, those being made or copied
// once their owners are done with them; nothing given back is; the entries
// taken stay taken, and no new one is given out.
TEST(TemporaryFiles, RemoveAllRemovesEveryHeldFileInEveryChunkAndThenNoneIsTaken) {
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < 2 * kChunkEntries + 10; ++i) {
        const std::string path = "/tmp/t" + std::to_string(i);
        owners.push_back(std::make_unique<TemporaryFileEntry>());
        ASSERT_TRUE(owners.back()->Begin(path));
        if (i % 4 != 3) {
            owners.back()->Made();
        }
        if (i % 4 == 1) {
            owners.back()->Forget();
        }
        if (i % 4 == 2) {
            owners.back()->Copying(true);
        }
        if (i % 4 != 1 && i % 8 != 7) {
            expected.push_back(path);
        }
    }
    // Too long to be held: the output goes on with nothing to remove.
    TemporaryFileEntry tooLong;
    EXPECT_TRUE(tooLong.Begin(std::string(kPathRoom, 'x')));
    tooLong.Made();
    RemoveAll(
        [](const char* path) {
            removed.push_back(path);
            return 0;
        },
        OwnersGoOn);
    std::sort(removed.begin(), removed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);
    EXPECT_EQ(pauses, 1);
    EXPECT_FALSE(TemporaryFileEntry().Begin("/tmp/late"));
    owners.clear();
    std::size_t kept = 0;
    for (Chunk* chunk = &first; chunk != nullptr; chunk = chunk->next.load()) {
        for (Entry& entry : chunk->entries) {
            kept += entry.state.load() == kRemoving ? 1 : 0;
            EXPECT_TRUE(entry.state.load() == kRemoving || entry.state.load() == kFree);
            entry.state.store(kFree);
        }
    }
    EXPECT_EQ(kept, expected.size());
    stopping.store(false);
}

}  // namespace
}  // namespace gridport
