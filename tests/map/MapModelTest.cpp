#include <gtest/gtest.h>

#include <cstdint>

#include "map/TileMap.h"

namespace gridport {
namespace {

TEST(MapLayer, Defaults) {
    const MapLayer layer;
    EXPECT_TRUE(layer.name.empty());
    EXPECT_EQ(layer.width, 0);
    EXPECT_TRUE(layer.tiles.empty());
    EXPECT_EQ(layer.factorX, 1.0F);
    EXPECT_EQ(layer.factorY, 1.0F);
    EXPECT_EQ(layer.rateX, 0.0F);
    EXPECT_TRUE(layer.showFlag);
    EXPECT_FALSE(layer.factorsEnabled);
    EXPECT_FALSE(layer.auxFlag);
    EXPECT_EQ(layer.segments.size(), 0);
}

TEST(TileMap, DefaultsAndIndependentCopies) {
    TileMap map;
    EXPECT_EQ(map.headerX, 0);
    EXPECT_EQ(map.headerMode, 0);
    EXPECT_EQ(map.textList.size(), 4U);
    EXPECT_TRUE(map.layers.empty());
    EXPECT_EQ(map.tileset.TileCount(), 0);
    MapLayer layer;
    layer.tiles = {1, 2};
    map.layers = {layer, layer};
    map.entities.resize(1);
    map.entities[0].textA = "kept";
    // A map moves and copies whole: it holds its entities by value.
    TileMap copy = map;
    copy.layers[0].tiles[0] = 50;
    copy.entities[0].textA = "changed";
    EXPECT_EQ(map.layers[0].tiles, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(map.entities[0].textA, "kept");
    const TileMap moved = std::move(copy);
    EXPECT_EQ(moved.entities[0].textA, "changed");
}

}  // namespace
}  // namespace gridport
