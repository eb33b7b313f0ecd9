// Writes a folder of maps for gridport-batch and the web page's folder
// conversion: maps in subfolders, version 1 and 2, VSP and RTS tilesets, a
// tileset found by its name in another letter case, one reached through a
// stored path with a backslash, and two maps that fail: one whose tileset
// is nowhere, one with a tile index past its tileset's end.
//
//   make_batch_folder OUTDIR

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "support/Builders.h"
#include "support/Files.h"
#include "support/Samples.h"

namespace {

using namespace gridport::test;

void Put(const std::string& folder, const std::string& path, const Bytes& bytes) {
    const std::filesystem::path file = std::filesystem::path(folder) / path;
    std::filesystem::create_directories(file.parent_path());
    WriteDiskFile(file.string(), bytes);
}

void MakeFolder(const std::string& folder) {
    // Stored as "town.vsp", found as Town.VSP.
    Put(folder, "town.map", TownMap().Build());
    Put(folder, "Town.VSP", PatternVsp(5).Build());

    MapV1File castle = TownMap();
    castle.text = "keep.rts";
    Put(folder, "sub/CASTLE.MAP", castle.Build());
    Put(folder, "sub/keep.rts", PatternRts(5, 8, 4).Build());

    MapV2File harbour = HarbourMap();
    harbour.text = "..\\tiles\\harbour.vsp";
    Put(folder, "sub/deeper/harbour.map", harbour.Build());
    Put(folder, "sub/tiles/HARBOUR.vsp", PatternVsp(5).Build());

    MapV1File lost = TownMap();
    lost.text = "gone.vsp";
    Put(folder, "sub/lost.map", lost.Build());

    MapV1File wide = TownMap();
    wide.background[5] = 40;
    Put(folder, "wide.map", wide.Build());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_batch_folder OUTDIR\n", stderr);
        return 2;
    }
    try {
        MakeFolder(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_batch_folder: %s\n", error.what());
        return 1;
    }
    return 0;
}
