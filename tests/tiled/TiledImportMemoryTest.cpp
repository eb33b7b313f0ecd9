// The Tiled import's memory, counted: the global operator new is replaced for this whole binary, and while a test
// arms it, it keeps the most bytes held at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "support/SampleRmp.h"
#include "support/TiledMap.h"
#include "tiled/TiledImport.h"

namespace {

struct Held {
    bool armed = false;
    std::size_t now = 0;
    std::size_t most = 0;
};

Held held;

// Each block starts with its size, so a delete without one still counts.
constexpr std::size_t kHead = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHead));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *reinterpret_cast<std::size_t*>(block) = size;
    if (held.armed) {
        held.now += size;
        held.most = std::max(held.most, held.now);
    }
    return block + kHead;
}

void Free(void* pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    unsigned char* block = static_cast<unsigned char*>(pointer) - kHead;
    const std::size_t size = *reinterpret_cast<std::size_t*>(block);
    held.now -= std::min(held.now, size);
    std::free(block);
}

}  // namespace

#include "support/ReplacedNew.h"

namespace gridport {
namespace {

// Two layers of 512 x 512 cells as JSON lists are over 1 MiB of text, and would be some 8 MiB as parsed values; the
// import holds its buffers (64 KiB of the file, the writer's 256 KiB), the rest of the map and a row of the tileset's tiles,
// however the list is laid out.
TEST(TiledImportMemory, ALayersCellsStreamWithoutTheFileOrItsValuesHeld) {
    TileMap map = test::SampleTiledMap();
    MapLayer& ground = map.layers[0];
    ground.width = 512;
    ground.height = 512;
    ground.tiles.assign(std::size_t{512} * 512, 1);
    const nlohmann::json json = test::TiledMapJson(map);
    const std::size_t budget = 512 * 1024;
    for (const int indent : {-1, 1}) {  // on one line, or a value a line
        test::MemoryFileSystem files;
        test::PutTiledMap(files, json, test::TiledTilesetJson(map.tileset, 3), test::TilesetPng(map.tileset, 3));
        const std::string text = json.dump(indent);
        files.Put("map.tmj", test::Bytes(text.begin(), text.end()));
        ASSERT_GT(text.size(), 2 * budget);  // the text alone would break the bound
        // Checking parses and writes as importing does, into nothing; the file written in memory would grow.
        held = Held{true, 0, 0};
        const Expected<TiledImportSummary> checked = ImportTiledMap("map.tmj", files, std::nullopt);
        held.armed = false;
        ASSERT_TRUE(checked) << checked.error().Text();
        EXPECT_EQ(checked->width, 512U);
        EXPECT_LT(held.most, budget) << indent;
        ASSERT_TRUE(ImportTiledMap("map.tmj", files, std::string("out.rmp")));
        EXPECT_EQ(files.Get("out.rmp"), test::SaveToMemory(map));
    }
}

}  // namespace
}  // namespace gridport
