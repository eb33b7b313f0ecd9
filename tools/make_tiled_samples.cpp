// Writes the inputs make test-tiled exports to Tiled beside the examples: a version-2 MAP file that fills all seven
// layers (of different sizes, the sixth repeated by its layer order) with an RTS tileset of 8 x 6 tiles carrying
// information and segments, and an RMP file with what a conversion never writes: entities of each kind, zones with
// reversed corners, layer segments, hidden layers, factors and rates (-0 and a NaN among them), non-default header
// values and a layer name and string that aren't UTF-8.
//
//   make_tiled_samples OUTDIR

#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <string>

#include "support/Builders.h"
#include "support/Files.h"
#include "support/SampleRmp.h"
#include "support/TileMap.h"

namespace {

using namespace gridport;
using namespace gridport::test;

constexpr std::uint16_t kTileWidth = 8;
constexpr std::uint16_t kTileHeight = 6;
constexpr std::uint16_t kTiles = 12;

// Tile t's pixel (x, y): bands of colour, partly see-through below the first tiles.
std::array<std::uint8_t, 4> Pixel(int t, int x, int y) {
    const auto channel = [](int value) { return static_cast<std::uint8_t>(value & 0xFF); };
    const std::uint8_t alpha = t < 4 ? 255 : (x + y) % 3 == 0 ? 0 : t % 2 == 0 ? 255 : 128;
    return {channel(40 + t * 17 + x * 9), channel(200 - t * 13 + y * 7), channel(t * 29 + (x ^ y) * 5), alpha};
}

RtsFile SampleTiles() {
    RtsFile file;
    file.tileWidth = kTileWidth;
    file.tileHeight = kTileHeight;
    for (int t = 0; t < kTiles; ++t) {
        RtsTile tile;
        for (int y = 0; y < kTileHeight; ++y) {
            for (int x = 0; x < kTileWidth; ++x) {
                const auto pixel = Pixel(t, x, y);
                tile.pixels.insert(tile.pixels.end(), pixel.begin(), pixel.end());
            }
        }
        if (t % 3 == 1) {
            tile.infoFlag = 1;
            tile.infoValueA = static_cast<std::uint16_t>(1000 * t);
            tile.infoValueB = 65535;
        }
        if (t % 4 == 2) {
            tile.segments = {{0, 0, 7, 5}, {7, 0, 0, 5}, {3, 3, 3, 3}};
        }
        file.tiles.push_back(tile);
    }
    return file;
}

MapV2File SevenLayers() {
    MapV2File map;
    map.text = "seven.rts";
    map.order = "16E5432176";  // the seventh layer's digit isn't one the order knows: it is read, never placed
    map.headerX = 40000;
    map.headerY = 7;
    for (int l = 0; l < 7; ++l) {
        MapV2Layer layer;
        layer.width = static_cast<std::uint16_t>(20 - 2 * l);
        layer.height = static_cast<std::uint16_t>(9 + l);
        for (int y = 0; y < layer.height; ++y) {
            for (int x = 0; x < layer.width; ++x) {
                layer.cells.push_back(static_cast<std::uint16_t>((x / 3 + y * (l + 1) + l) % kTiles));
            }
        }
        map.layers.push_back(layer);
    }
    return map;
}

TileMap Features() {
    TileMap map;
    map.headerX = 65535;
    map.headerY = 1234;
    map.headerLayer = 2;
    map.headerMode = 200;
    map.linkedFileName = "features.rts";
    map.textA = "caf\xC3\xA9";
    map.textB = std::string("bad \xFF bytes");
    map.textList = {"one", "", "three", "\"quoted\"\n\\"};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::array<std::array<float, 4>, 3> values{{{1.0F, 1.0F, 0.0F, 0.0F},
                                                      {0.25F, -0.0F, 1.0F / 3.0F, -7.5e-12F},
                                                      {3.0e38F, 2.0F, nan, -1.0F}}};
    for (int l = 0; l < 3; ++l) {
        MapLayer layer;
        layer.name = l == 1 ? std::string("h\xE9lo") : "layer " + std::to_string(l);
        layer.width = 10 + 3 * l;
        layer.height = 12 - 4 * l;
        for (int i = 0; i < layer.width * layer.height; ++i) {
            layer.tiles.push_back(static_cast<std::uint32_t>((i * (l + 2) + i / layer.width) % kTiles));
        }
        layer.showFlag = l != 2;
        layer.factorsEnabled = l == 1;
        layer.auxFlag = l == 0;
        layer.factorX = values[l][0];
        layer.factorY = values[l][1];
        layer.rateX = values[l][2];
        layer.rateY = values[l][3];
        if (l != 2) {
            layer.segments.push_back(Segment{-1, 2, 70000, -70000});
            layer.segments.push_back(Segment{0, 0, 16, 12});
        }
        map.layers.push_back(layer);
    }
    for (int i = 0; i < 5; ++i) {
        MapEntity entity;
        entity.x = 8 * i + 3;
        entity.y = 65535 - i;
        entity.layer = i % 3;
        entity.kind = i < 2 ? 2 : i == 2 ? 3 : 0;
        entity.textA = "entity " + std::to_string(i);
        entity.textB = i == 0 ? std::string("\x80") : "b";
        entity.textList = {"l1", "", "l3", "l4", i == 1 ? std::string("not \xFE UTF-8") : "l5"};
        map.entities.push_back(entity);
    }
    map.zones = {MapZone{1, 2, 30, 40, 0, 6, "zone"}, MapZone{50, 60, 5, 6, 1, 65535, ""},
                 MapZone{7, 70, 70, 7, 2, 0, "x"}, MapZone{9, 9, 9, 9, 0, 1, "point"}};
    map.tileset.tileWidth = kTileWidth;
    map.tileset.tileHeight = kTileHeight;
    const RtsFile tiles = SampleTiles();
    for (const RtsTile& rts : tiles.tiles) {
        Tile tile{RgbaImage(kTileWidth, kTileHeight), rts.infoFlag != 0, rts.infoValueA, rts.infoValueB, {}};
        tile.image.pixels = rts.pixels;
        for (const auto& [x1, y1, x2, y2] : rts.segments) {
            tile.segments.push_back(Segment{x1, y1, x2, y2});
        }
        map.tileset.tiles.push_back(tile);
    }
    return map;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_tiled_samples OUTDIR\n", stderr);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    try {
        WriteDiskFile(dir + "seven.map", SevenLayers().Build());
        WriteDiskFile(dir + "seven.rts", SampleTiles().Build());
        WriteDiskFile(dir + "features.rmp", SaveToMemory(Features()));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "make_tiled_samples: %s\n", failure.what());
        return 1;
    }
    return 0;
}
