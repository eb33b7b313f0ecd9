#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#include "map/GridMemory.h"
#include "map/TileMap.h"

namespace gridport {
namespace {

MapLayer Numbered(int width, int height) {
    MapLayer layer;
    EXPECT_TRUE(layer.Resize(width, height));
    for (std::size_t i = 0; i < layer.tiles.size(); ++i) {
        layer.tiles[i] = static_cast<std::uint32_t>(i + 1);
    }
    return layer;
}

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
    EXPECT_EQ(layer.segments.Count(), 0);
}

TEST(MapLayer, ResizeKeepsTheTopLeftOverlap) {
    MapLayer layer;
    ASSERT_TRUE(layer.Resize(3, 2));
    EXPECT_EQ(layer.tiles, std::vector<std::uint32_t>(6, 0));

    layer = Numbered(3, 2);  // 1 2 3 / 4 5 6
    layer.SetName("kept");
    ASSERT_TRUE(layer.Resize(2, 3));
    EXPECT_EQ(layer.tiles, (std::vector<std::uint32_t>{1, 2, 4, 5, 0, 0}));
    EXPECT_EQ(layer.name, "kept");
    ASSERT_TRUE(layer.Resize(2, 3));
    EXPECT_EQ(layer.tiles, (std::vector<std::uint32_t>{1, 2, 4, 5, 0, 0}));
    ASSERT_TRUE(layer.Resize(0, 0));
    EXPECT_TRUE(layer.tiles.empty());
    EXPECT_EQ(layer.height, 0);
    EXPECT_FALSE(layer.Resize(-1, 2));
    // More cells than a grid can hold fail, counted so that they can't wrap
    // around to a small grid in 32 bits; so does a grid reserved that large.
    EXPECT_FALSE(layer.Resize(INT32_MAX, INT32_MAX));
    EXPECT_EQ(layer.height, 0);
    std::vector<std::uint32_t> cells;
    EXPECT_THROW(ReserveGrid(cells, SIZE_MAX), std::bad_alloc);
}

TEST(MapLayer, CopiesAreIndependent) {
    MapLayer source = Numbered(2, 2);
    source.segments.Append(1, 2, 3, 4);
    MapLayer copy(source);
    MapLayer assigned;
    assigned = source;
    for (MapLayer* changed : {&copy, &assigned}) {
        changed->tiles[0] = 99;
        changed->SetName("changed");
        changed->segments.Append(5, 6, 7, 8);
        ASSERT_TRUE(changed->Resize(5, 5));
    }
    EXPECT_EQ(source.tiles[0], 1U);
    EXPECT_EQ(source.width, 2);
    EXPECT_EQ(source.segments.Count(), 1);
    source = source;
    EXPECT_EQ(source.tiles, Numbered(2, 2).tiles);
}

TEST(TileMap, DefaultsAndSetters) {
    TileMap map;
    EXPECT_EQ(map.headerX, 0);
    EXPECT_EQ(map.headerMode, 0);
    EXPECT_EQ(map.textList.size(), 4U);
    EXPECT_TRUE(map.layers.empty());
    EXPECT_EQ(map.tileset.TileCount(), 0);
    map.SetHeaderX(70000);
    map.SetHeaderY(-1);
    map.SetLinkedFileName("");
    EXPECT_EQ(map.headerX, 70000);
    EXPECT_EQ(map.headerY, -1);
    EXPECT_TRUE(map.linkedFileName.empty());
}

TEST(TileMap, AppendLayerStoresIndependentCopiesInOrder) {
    TileMap map;
    MapLayer layer = Numbered(2, 1);
    map.AppendLayer(layer);
    map.AppendLayer(layer);
    map.layers[0].tiles[0] = 50;
    layer.tiles[1] = 60;
    EXPECT_EQ(map.layers[1].tiles, (std::vector<std::uint32_t>{1, 2}));
    map.AppendLayer(std::move(layer));
    EXPECT_EQ(map.layers[2].tiles, (std::vector<std::uint32_t>{1, 60}));
}

TEST(TileMap, EmptyingEntitiesLeavesThemIntact) {
    MapEntity entity;
    entity.textA = "still here";
    {
        TileMap map;
        map.entities.push_back(entity);
        map.entities.clear();
        map.entities.push_back(entity);
    }
    EXPECT_EQ(entity.textA, "still here");
}

}  // namespace
}  // namespace gridport
