// Writes a fuzz target's seed corpus, made by our own builders: small valid
// files of both MAP versions and both tileset kinds.
//
//   gridport_fuzz_seeds TARGET OUTDIR
//
// A new target adds its corpus to the table in main, or names a generator of
// its own in gridport_fuzz_target.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "tileset/TilesetReader.h"
#include "support/Conversion.h"
#include "support/Files.h"
#include "support/SampleRmp.h"

namespace {

using namespace gridport::test;
using Corpus = std::vector<std::pair<std::string, Bytes>>;

// Inputs that once broke a target stay in its corpus, named for the fault.
Bytes ZeroSizeTiles() {
    return PatternRts(3, 0, 2).Build();
}

Corpus ConversionSeeds() {
    MapV1File map;
    map.width = 1;
    map.height = 1;
    map.background = {2};
    map.foreground = {0};
    const ConversionInput zeroSize{map.Build(), ZeroSizeTiles(), false};
    // A map of no layers still needs a tileset of at least one tile.
    MapV2File empty;
    empty.order = "1E";
    const ConversionInput noTiles{empty.Build(), PatternVsp(0).Build(), true};
    Corpus corpus = {{"regression-null-pixels-of-zero-size-tiles", JoinConversionInput(zeroSize)},
                     {"regression-no-layers-and-no-tiles", JoinConversionInput(noTiles)}};
    for (const ConversionSample& sample : SmallConversions()) {
        const ConversionInput input{sample.map, sample.tileset,
                                    gridport::TilesetKindOf(sample.tilesetPath) == gridport::TilesetKind::Vsp};
        corpus.emplace_back(sample.name, JoinConversionInput(input));
    }
    return corpus;
}

// The samples' tilesets of one kind, plus one without tiles.
Corpus TilesetSeeds(bool vsp, const Bytes& empty) {
    Corpus corpus = {{"no-tiles", empty}};
    for (const ConversionSample& sample : SmallConversions()) {
        if ((gridport::TilesetKindOf(sample.tilesetPath) == gridport::TilesetKind::Vsp) == vsp) {
            corpus.emplace_back(sample.name, sample.tileset);
        }
    }
    return corpus;
}

}  // namespace

int main(int argc, char** argv) {
    const std::map<std::string, std::function<Corpus()>> targets = {
        {"ConversionFuzz", ConversionSeeds},
        {"DifferentialFuzz", ConversionSeeds},
        {"RtsReaderFuzz",
         [] {
             Corpus corpus = TilesetSeeds(false, PatternRts(0, 16, 16).Build());
             corpus.emplace_back("regression-null-pixels-of-zero-size-tiles", ZeroSizeTiles());
             return corpus;
         }},
        {"VspReaderFuzz", [] { return TilesetSeeds(true, PatternVsp(0, 1).Build()); }},
        {"RmpReaderFuzz",
         [] {
             Corpus corpus;
             for (gridport::test::SampleRmp& sample : gridport::test::SampleRmpFiles()) {
                 corpus.emplace_back(sample.name, std::move(sample.bytes));
             }
             return corpus;
         }},
    };
    const auto target = argc == 3 ? targets.find(argv[1]) : targets.end();
    if (target == targets.end()) {
        std::fprintf(stderr, "usage: gridport_fuzz_seeds TARGET OUTDIR, TARGET one of:");
        for (const auto& [name, corpus] : targets) {
            std::fprintf(stderr, " %s", name.c_str());
        }
        std::fprintf(stderr, "\n");
        return 2;
    }
    std::filesystem::create_directories(argv[2]);
    for (const auto& [name, bytes] : target->second()) {
        WriteDiskFile((std::filesystem::path(argv[2]) / name).string(), bytes);
    }
    return 0;
}
