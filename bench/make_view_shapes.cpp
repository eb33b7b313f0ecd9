// Writes RMP files shaped to pile up a picture's work or memory into OUTDIR, for bench/view-bench: rows of many
// distinct stacks of tall translucent tiles, 255 layers of one-pixel tiles, 255 wide layers, a mark tile of
// 65535 x 65535 pixels, and a large map of translucent tiles. Beside each (but the mark's, whose empty tileset
// doesn't convert), NAME.map and NAME.rts: the conversion of the same cells, layers and tiles, a baseline. A
// version-2 MAP names at most six layers, so a shape of more layers has its cells there in one layer as tall as
// they all are.
//
//   make_view_shapes OUTDIR

#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "support/Builders.h"
#include "support/Files.h"

namespace {

using gridport::test::RmpFile;
using gridport::test::RmpLayer;
using gridport::test::RtsFile;
using gridport::test::RtsTile;

std::uint32_t Noise(std::uint32_t x, std::uint32_t salt) {
    std::uint32_t h = x * 0x9E3779B1U ^ salt * 0x85EBCA77U;
    h ^= h >> 15;
    h *= 0x2C1B3C6DU;
    return h ^ (h >> 13);
}

// count tiles of width x height, colours from noise, every pixel's alpha `alpha`.
RtsFile Tiles(std::uint32_t count, std::uint16_t width, std::uint16_t height, std::uint8_t alpha) {
    RtsFile rts;
    rts.tileWidth = width;
    rts.tileHeight = height;
    for (std::uint32_t t = 0; t < count; ++t) {
        RtsTile tile;
        tile.pixels.resize(std::size_t{width} * height * 4);
        for (std::size_t i = 0; i < tile.pixels.size(); ++i) {
            tile.pixels[i] = i % 4 == 3 ? alpha : static_cast<std::uint8_t>(Noise(static_cast<std::uint32_t>(i), t));
        }
        rts.tiles.push_back(std::move(tile));
    }
    return rts;
}

// layers layers of width x height cells, each a tile below count from noise.
RmpFile Map(const RtsFile& tiles, std::size_t layers, std::uint16_t width, std::uint16_t height, std::uint32_t count) {
    RmpFile rmp;
    rmp.tileset = tiles.Build();
    for (std::size_t l = 0; l < layers; ++l) {
        RmpLayer layer;
        layer.name = "layer " + std::to_string(l);
        layer.width = width;
        layer.height = height;
        layer.cells.resize(std::size_t{width} * height);
        for (std::size_t i = 0; i < layer.cells.size(); ++i) {
            layer.cells[i] = static_cast<std::uint16_t>(count == 0 ? 0 : Noise(static_cast<std::uint32_t>(i), 
                                                                                static_cast<std::uint32_t>(l) + 1) % count);
        }
        rmp.layers.push_back(std::move(layer));
    }
    return rmp;
}

void Write(const std::string& path, const RmpFile& rmp) {
    gridport::test::WriteDiskFile(path, rmp.Build());
}

// The RMP as OUTDIR/NAME.rmp, and its cells and tiles as NAME.map and NAME.rts.
void Shape(const std::string& dir, const std::string& name, const RtsFile& tiles, std::size_t layers,
           std::uint16_t width, std::uint16_t height, std::uint32_t count) {
    const RmpFile rmp = Map(tiles, layers, width, height, count);
    Write(dir + name + ".rmp", rmp);
    gridport::test::MapV2File map;
    if (layers <= 6) {
        for (const RmpLayer& layer : rmp.layers) {
            map.order += static_cast<char>('1' + map.layers.size());
            map.layers.push_back({layer.width, layer.height, layer.cells, std::nullopt});
        }
    } else {
        gridport::test::MapV2Layer all{width, static_cast<std::uint16_t>(height * layers), {}, std::nullopt};
        for (const RmpLayer& layer : rmp.layers) {
            all.cells.insert(all.cells.end(), layer.cells.begin(), layer.cells.end());
        }
        map.order = "1";
        map.layers.push_back(std::move(all));
    }
    gridport::test::WriteDiskFile(dir + name + ".map", map.Build());
    gridport::test::WriteDiskFile(dir + name + ".rts", tiles.Build());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_view_shapes OUTDIR\n");
        return 2;
    }
    try {
        const std::string dir = std::string(argv[1]) + "/";
        Shape(dir, "shape1_tall", Tiles(383, 1, 2048, 128), 2, 16384, 1, 383);
        Shape(dir, "shape1_taller", Tiles(64, 1, 16384, 128), 3, 65535, 1, 64);
        Shape(dir, "shape2_layers", Tiles(16, 1, 1, 128), 255, 16384, 1, 16);
        Shape(dir, "shape3_wide", Tiles(16, 1, 1, 255), 255, 65535, 1, 16);
        Write(dir + "shape4_mark.rmp", Map(Tiles(0, 65535, 65535, 255), 1, 1, 1, 0));
        Shape(dir, "shape5_translucent", Tiles(1000, 16, 16, 128), 2, 4096, 4096, 1000);
        // The cost of the pixels themselves: one layer of opaque tiles, drawn at the same sizes.
        Write(dir + "shape1_opaque.rmp", Map(Tiles(383, 1, 2048, 255), 1, 16384, 1, 383));
        Write(dir + "shape1_taller_opaque.rmp", Map(Tiles(64, 1, 16384, 255), 1, 65535, 1, 64));
        Write(dir + "shape2_opaque.rmp", Map(Tiles(16, 1, 1, 255), 1, 16384, 1, 16));
        Write(dir + "shape3_opaque.rmp", Map(Tiles(16, 1, 1, 255), 1, 65535, 1, 16));
        Write(dir + "shape5_opaque.rmp", Map(Tiles(1000, 16, 16, 255), 1, 4096, 4096, 1000));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
