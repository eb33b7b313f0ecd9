// Writes a tree of maps for gridport-batch's benchmark into OUTDIR.
//
//   make_batch_tree OUTDIR small COUNT   COUNT maps of 64 x 64 cells, both
//                                         versions, 500 to a folder, each
//                                         folder with a small tileset that
//                                         the maps name in capitals
//   make_batch_tree OUTDIR large COUNT   COUNT version-2 maps of 1024 x 1024
//                                         cells (two layers) and their tileset
//   make_batch_tree OUTDIR deep COUNT    COUNT folders each inside the last,
//                                         named "d", with a small map and its
//                                         tileset in every hundredth
//
// It also writes OUTDIR/pairs.txt: "MAP TILESET OUTPUT" a line, the pairs
// as a shell loop over gridport would convert them (the outputs under
// OUTDIR.out).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/Builders.h"
#include "support/Files.h"

namespace {

using namespace gridport::test;

std::vector<std::uint16_t> Cells(std::uint32_t side, std::uint32_t tiles, std::uint32_t salt, bool runs) {
    std::vector<std::uint16_t> cells(std::size_t{side} * side);
    std::uint32_t h = salt * 2654435761U + 1;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (!runs || i % 16 == 0) {
            h ^= h << 13;
            h ^= h >> 17;
            h ^= h << 5;
        }
        cells[i] = static_cast<std::uint16_t>(h % tiles);
    }
    return cells;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_batch_tree OUTDIR small|large|deep COUNT\n");
        return 2;
    }
    try {
        const std::string dir = argv[1];
        const bool large = std::string(argv[2]) == "large";
        const int count = std::atoi(argv[3]);
        if (std::string(argv[2]) == "deep") {
            std::ofstream pairs(dir + "/pairs.txt", std::ios::trunc);
            std::string folder;
            for (int depth = 1; depth <= count; ++depth) {
                folder += "d/";
                if (depth % 100 != 0 && depth != count) {
                    continue;
                }
                std::filesystem::create_directories(dir + "/" + folder);
                MapV1File map;
                map.text = "TILES.VSP";
                map.width = map.height = 64;
                map.background = Cells(64, 16, static_cast<std::uint32_t>(depth), false);
                map.foreground = Cells(64, 16, static_cast<std::uint32_t>(depth) + 3, true);
                WriteDiskFile(dir + "/" + folder + "m.map", map.Build());
                WriteDiskFile(dir + "/" + folder + "tiles.vsp", PatternVsp(16).Build());
                pairs << dir << "/" << folder << "m.map " << dir << "/" << folder << "tiles.vsp " << dir << ".out/"
                      << folder << "m.rmp\n";
            }
            return 0;
        }
        const std::uint32_t side = large ? 1024 : 64;
        const std::uint16_t tiles = large ? 200 : 16;
        std::ofstream pairs(dir + "/pairs.txt", std::ios::trunc);
        std::string folder;
        for (int i = 0; i < count; ++i) {
            if (i % 500 == 0) {
                folder = "d" + std::to_string(i / 500);
                std::filesystem::create_directories(dir + "/" + folder);
                std::filesystem::create_directories(dir + ".out/" + folder);
                WriteDiskFile(dir + "/" + folder + "/tiles.vsp", PatternVsp(tiles).Build());
            }
            const std::string name = folder + "/m" + std::to_string(i);
            Bytes bytes;
            if (large || i % 2 == 0) {
                MapV2File map;
                map.text = "TILES.VSP";
                map.order = "12E";
                const auto s = static_cast<std::uint16_t>(side);
                map.layers = {MapV2Layer{s, s, Cells(side, tiles, i, true), {}},
                              MapV2Layer{s, s, Cells(side, tiles, i + 7, false), {}}};
                bytes = map.Build();
            } else {
                MapV1File map;
                map.text = "TILES.VSP";
                map.width = map.height = static_cast<std::uint16_t>(side);
                map.background = Cells(side, tiles, i, false);
                map.foreground = Cells(side, tiles, i + 3, true);
                bytes = map.Build();
            }
            WriteDiskFile(dir + "/" + name + ".map", bytes);
            pairs << dir << "/" << name << ".map " << dir << "/" << folder << "/tiles.vsp " << dir << ".out/" << name
                  << ".rmp\n";
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_batch_tree: %s\n", e.what());
        return 1;
    }
}
