#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#include "tileset/Tileset.h"

namespace gridport {
namespace {

using Pixel = std::array<std::uint8_t, 4>;
constexpr Pixel kOpaqueBlack = {0, 0, 0, 255};
constexpr Pixel kTransparent = {0, 0, 0, 0};

Pixel At(const RgbaImage& image, int x, int y) {
    const std::size_t at = 4 * (static_cast<std::size_t>(y) * image.width + x);
    return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2], image.pixels[at + 3]};
}

// Each pixel's red byte is its index, so positions can be told apart.
RgbaImage Numbered(int width, int height) {
    RgbaImage image(width, height);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        image.pixels[4 * i] = static_cast<std::uint8_t>(i);
        image.pixels[4 * i + 3] = 255;
    }
    return image;
}

TEST(RgbaImage, SizedIsTransparentAndClearMakesOpaqueBlack) {
    RgbaImage image(3, 2);
    EXPECT_EQ(image.tag, 1);
    EXPECT_EQ(image.pixels.size(), 24U);
    EXPECT_EQ(At(image, 2, 1), kTransparent);
    image.Clear();
    EXPECT_EQ(At(image, 2, 1), kOpaqueBlack);
    EXPECT_EQ(At(Tile(2, 2).image, 1, 1), kOpaqueBlack);
}

TEST(RgbaImage, ResizeKeepsTheTopLeftAndFillsOpaqueBlack) {
    RgbaImage image = Numbered(16, 16);
    image.tag = 7;
    image.Resize(32, 8);
    ASSERT_EQ(image.width, 32);
    ASSERT_EQ(image.height, 8);
    EXPECT_EQ(image.tag, 7);
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(At(image, 15, y)[0], static_cast<std::uint8_t>(y * 16 + 15));
        EXPECT_EQ(At(image, 16, y), kOpaqueBlack);
        EXPECT_EQ(At(image, 31, y), kOpaqueBlack);
    }
    // Sizes with no pixels leave the image exactly as it was.
    const RgbaImage before = image;
    image.Resize(0, 16);
    image.Resize(16, 0);
    image.Resize(-4, -4);
    // So does one beyond what memory can hold, counted so that it can't wrap
    // around in 32 bits; an image made that large fails as an allocation.
    image.Resize(INT32_MAX, INT32_MAX);
    EXPECT_EQ(image.width, 32);
    EXPECT_EQ(image.pixels, before.pixels);
    EXPECT_THROW(RgbaImage(INT32_MAX, INT32_MAX), std::bad_alloc);
}

TEST(RgbaImage, AssignReusesTheArrayWhenCountsAgree) {
    RgbaImage target(8, 4);
    const std::uint8_t* array = target.pixels.data();
    RgbaImage source = Numbered(4, 8);
    source.tag = 3;
    target.Assign(source);
    EXPECT_EQ(target.width, 4);
    EXPECT_EQ(target.height, 8);
    EXPECT_EQ(target.tag, 3);
    EXPECT_EQ(target.pixels, source.pixels);
    EXPECT_EQ(target.pixels.data(), array);
    target.Assign(target);
    EXPECT_EQ(target.pixels, source.pixels);
    target.Assign(RgbaImage(2, 2));
    EXPECT_EQ(target.pixels.size(), 16U);
}

TEST(Tile, CopiesAreIndependent) {
    Tile source(2, 2);
    source.SetInfoFlag(true);
    source.SetInfoValueA(5);
    source.segments.Append(1, 2, 3, 4);
    Tile copy(source);
    Tile assigned;
    assigned.Assign(source);
    for (Tile* changed : {&copy, &assigned}) {
        changed->image.pixels[0] = 99;
        changed->SetInfoValueB(8);
        changed->segments.Append(5, 6, 7, 8);
    }
    EXPECT_EQ(source.image.pixels[0], 0);
    EXPECT_EQ(source.infoValueB, 0);
    EXPECT_EQ(source.segments.Count(), 1);
    EXPECT_TRUE(assigned.infoFlag);
    EXPECT_EQ(assigned.infoValueA, 5);
    EXPECT_EQ(assigned.segments.At(0), (Segment{1, 2, 3, 4}));
}

TEST(SegmentList, KeepsOrderThroughAssign) {
    SegmentList list;
    EXPECT_EQ(list.Count(), 0);
    for (int i = 0; i < 5; ++i) {
        list.Append(i, -i, i * 10, 70000);
    }
    SegmentList copy;
    copy.Assign(list);
    copy.Assign(copy);
    ASSERT_EQ(copy.Count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(copy.At(i), (Segment{i, -i, i * 10, 70000}));
    }
}

TEST(Tileset, AppendBlankTilesUsesTheTileSize) {
    Tileset tileset;
    EXPECT_EQ(tileset.tileWidth, 16);
    EXPECT_EQ(tileset.TileCount(), 0);
    tileset.tileWidth = 32;
    tileset.tileHeight = 8;
    tileset.AppendBlankTiles(5);
    tileset.tiles[4].image.pixels[0] = 42;
    tileset.AppendBlankTiles(0);
    tileset.AppendBlankTiles(3);
    ASSERT_EQ(tileset.TileCount(), 8);
    EXPECT_EQ(tileset.tiles[4].image.pixels[0], 42);
    for (const Tile& tile : tileset.tiles) {
        EXPECT_EQ(tile.image.width, 32);
        EXPECT_EQ(tile.image.height, 8);
        EXPECT_EQ(At(tile.image, 31, 7), kOpaqueBlack);
    }
}

TEST(Tileset, AssignCopiesDeeply) {
    Tileset source;
    source.tileWidth = 32;
    source.tileHeight = 8;
    source.AppendBlankTiles(2);
    source.tiles[1].segments.Append(1, 1, 1, 1);
    Tileset copy;
    copy.AppendBlankTiles(7);
    copy.Assign(source);
    copy.Assign(copy);
    copy.tiles[1].image.pixels[0] = 5;
    copy.tiles[1].SetInfoValueA(9);
    copy.tiles[1].segments.Append(2, 2, 2, 2);
    EXPECT_EQ(copy.tileWidth, 32);
    EXPECT_EQ(copy.tileHeight, 8);
    EXPECT_EQ(copy.TileCount(), 2);
    EXPECT_EQ(source.tiles[1].image.pixels[0], 0);
    EXPECT_EQ(source.tiles[1].infoValueA, 0);
    EXPECT_EQ(source.tiles[1].segments.Count(), 1);
}

}  // namespace
}  // namespace gridport
