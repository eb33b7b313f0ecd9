// Writes the benchmark inputs into OUTDIR, with cases.tsv listing one case a
// line: name, MAP file, tileset file.
//
//   make_bench_inputs OUTDIR

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "support/Builders.h"
#include "support/Files.h"

namespace {

using gridport::test::MapV1File;
using gridport::test::MapV2File;
using gridport::test::MapV2Layer;
using gridport::test::PatternRts;
using gridport::test::PatternVsp;
using gridport::test::RtsFile;
using gridport::test::WriteDiskFile;

// A repeatable hash of a cell position, for cells that look like noise.
std::uint32_t Noise(std::uint32_t x, std::uint32_t y, std::uint32_t salt) {
    std::uint32_t h = x * 0x9E3779B1U ^ (y + salt) * 0x85EBCA77U;
    h ^= h >> 15;
    h *= 0x2C1B3C6DU;
    return h ^ (h >> 13);
}

// A square layer of cells below tileCount, every cell its own noise value.
std::vector<std::uint16_t> NoiseCells(std::uint32_t side, std::uint32_t tileCount, std::uint32_t salt) {
    std::vector<std::uint16_t> cells(std::size_t{side} * side);
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            cells[std::size_t{y} * side + x] = static_cast<std::uint16_t>(Noise(x, y, salt) % tileCount);
        }
    }
    return cells;
}

// Rows that alternate stretches of one value (up to 600 cells, longer than
// a run can hold) with stretches of noise.
std::vector<std::uint16_t> RunsAndNoise(std::uint32_t side, std::uint32_t tileCount, std::uint32_t salt) {
    std::vector<std::uint16_t> cells(std::size_t{side} * side);
    std::size_t i = 0;
    for (std::uint32_t stretch = 0; i < cells.size(); ++stretch) {
        const std::uint32_t h = Noise(stretch, salt, 7);
        const std::size_t length = std::min<std::size_t>(16 + h % 600, cells.size() - i);
        const bool run = (h >> 20) % 3 != 0;
        for (std::size_t k = 0; k < length; ++k, ++i) {
            const std::uint32_t value = run ? h >> 8 : Noise(static_cast<std::uint32_t>(i), salt, 3);
            cells[i] = static_cast<std::uint16_t>(value % tileCount);
        }
    }
    return cells;
}

struct Case {
    std::string name;
    std::string tilesetName;
};

MapV1File VersionOneMap(std::uint16_t side, std::uint32_t tileCount, const std::string& tilesetName) {
    MapV1File map;
    map.text = tilesetName;
    map.width = side;
    map.height = side;
    map.background = NoiseCells(side, tileCount, 1);
    map.foreground = NoiseCells(side, tileCount, 2);
    return map;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bench_inputs OUTDIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    try {
        std::vector<Case> cases;

        WriteDiskFile(dir + "large_v1.map", VersionOneMap(4096, 256, "large_v1.vsp").Build());
        WriteDiskFile(dir + "large_v1.vsp", PatternVsp(256).Build());
        cases.push_back({"large_v1", "large_v1.vsp"});

        MapV2File layered;
        layered.text = "layered_v2.vsp";
        layered.order = "123456E";
        for (std::uint32_t i = 0; i < 6; ++i) {
            layered.layers.push_back(MapV2Layer{2048, 2048, RunsAndNoise(2048, 256, i), std::nullopt});
        }
        WriteDiskFile(dir + "layered_v2.map", layered.Build());
        WriteDiskFile(dir + "layered_v2.vsp", PatternVsp(256, 3).Build());
        cases.push_back({"layered_v2", "layered_v2.vsp"});

        WriteDiskFile(dir + "rts_tiles.map", VersionOneMap(256, 4096, "rts_tiles.rts").Build());
        RtsFile rts = PatternRts(4096, 32, 32);
        for (std::size_t t = 0; t < rts.tiles.size(); ++t) {
            for (std::uint16_t k = 0; k < t % 5; ++k) {
                rts.tiles[t].segments.push_back({k, static_cast<std::uint16_t>(t % 32), 31, k});
            }
        }
        WriteDiskFile(dir + "rts_tiles.rts", rts.Build());
        cases.push_back({"rts_tiles", "rts_tiles.rts"});

        WriteDiskFile(dir + "small_v1.map", VersionOneMap(64, 16, "small_v1.vsp").Build());
        WriteDiskFile(dir + "small_v1.vsp", PatternVsp(16).Build());
        cases.push_back({"small_v1", "small_v1.vsp"});

        // One 2048 x 2048 layer that the order text names 60 times: the text
        // runs on over the header values, which are digits too.
        MapV2File repeated;
        repeated.text = "repeat_v2.vsp";
        repeated.order = std::string(60, '1');
        repeated.headerX = '1' | ('1' << 8);
        repeated.headerY = repeated.headerX;
        repeated.layers.push_back(MapV2Layer{2048, 2048, RunsAndNoise(2048, 256, 9), std::nullopt});
        WriteDiskFile(dir + "repeat_v2.map", repeated.Build());
        WriteDiskFile(dir + "repeat_v2.vsp", PatternVsp(256, 3).Build());
        cases.push_back({"repeat_v2", "repeat_v2.vsp"});

        // 65534 tiles and the transparent one: 64 MiB of pixels converted.
        WriteDiskFile(dir + "many_tiles.map", VersionOneMap(512, 65534, "many_tiles.vsp").Build());
        WriteDiskFile(dir + "many_tiles.vsp", PatternVsp(65534).Build());
        cases.push_back({"many_tiles", "many_tiles.vsp"});

        // The viewers' cases (bench/view-bench draws them): a 65535 x 1 map
        // of 1 x 2048 tiles, and a 512 x 512 map of 128 x 128 tiles.
        MapV1File tall;
        tall.text = "tall_tiles.rts";
        tall.width = 65535;
        tall.height = 1;
        tall.background = NoiseCells(1, 4, 3);
        tall.background.resize(65535);
        for (std::size_t i = 0; i < tall.background.size(); ++i) {
            tall.background[i] = static_cast<std::uint16_t>(Noise(static_cast<std::uint32_t>(i), 0, 4) % 4);
        }
        tall.foreground.assign(65535, 0);
        WriteDiskFile(dir + "tall_tiles.map", tall.Build());
        WriteDiskFile(dir + "tall_tiles.rts", PatternRts(4, 1, 2048).Build());
        WriteDiskFile(dir + "big_tiles.map", VersionOneMap(512, 16, "big_tiles.rts").Build());
        WriteDiskFile(dir + "big_tiles.rts", PatternRts(16, 128, 128).Build());

        std::ofstream list(dir + "cases.tsv", std::ios::trunc);
        for (const Case& c : cases) {
            list << c.name << '\t' << dir + c.name + ".map" << '\t' << dir + c.tilesetName << '\n';
        }
        if (!list.flush()) {
            std::fprintf(stderr, "cannot write %scases.tsv\n", dir.c_str());
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
