#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#include "tileset/Tileset.h"

namespace gridport {
namespace {

TEST(RgbaImage, SizedIsTransparentAndTooLargeFailsAsAnAllocation) {
    const RgbaImage image(3, 2);
    EXPECT_EQ(image.pixels, std::vector<std::uint8_t>(24, 0));
    EXPECT_TRUE(RgbaImage(-4, 4).pixels.empty());
    EXPECT_EQ(RgbaImage(-4, 4).width, 0);
    // Counted so that it can't wrap around in 32 bits.
    EXPECT_THROW(RgbaImage(INT32_MAX, INT32_MAX), std::bad_alloc);
}

TEST(Tileset, CopiesAreIndependentAndKeepOrder) {
    Tileset source;
    source.tileWidth = 2;
    source.tileHeight = 2;
    source.tiles.resize(2);
    source.tiles[1].image = RgbaImage(2, 2);
    for (int i = 0; i < 5; ++i) {
        source.tiles[1].segments.push_back(Segment{i, -i, i * 10, 70000});
    }
    Tileset copy = source;
    copy.tiles[1].image.pixels[0] = 5;
    copy.tiles[1].infoValueA = 9;
    copy.tiles[1].segments.push_back(Segment{2, 2, 2, 2});
    EXPECT_EQ(source.tiles[1].image.pixels[0], 0);
    EXPECT_EQ(source.tiles[1].infoValueA, 0);
    ASSERT_EQ(source.tiles[1].segments.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(copy.tiles[1].segments[i], (Segment{i, -i, i * 10, 70000}));
    }
    EXPECT_EQ(copy.TileCount(), 2);
}

}  // namespace
}  // namespace gridport
