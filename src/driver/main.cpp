// gridport MAP TILESET RMP: converts a MAP file and its tileset into an RMP
// map file with the tileset embedded. Prints one line on failure, nothing on
// success, and never writes to standard error.

#include <cstdio>

#include "filesystem/DefaultFileSystem.h"
#include "map/TileMap.h"

int main(int argc, char** argv) {
    using gridport::defaultFileSystem;
    gridport::TileMap map;
    if (argc != 4) {
        std::puts("Syntax: gridport <mapfile> <rss/vsp file> <rmpfile>");
        return 1;
    }
    if (!map.ImportMap(argv[1], argv[2], defaultFileSystem)) {
        std::printf("Error: Could not import MAP '%s' '%s'\n", argv[1], argv[2]);
        return 1;
    }
    // The output may not be one of the inputs, however it is spelt: the
    // save would destroy the file it was made from.
    if (defaultFileSystem.SameFile(argv[3], argv[1]) || defaultFileSystem.SameFile(argv[3], argv[2]) ||
        !map.Save(argv[3], defaultFileSystem)) {
        std::printf("Error: Could not save RMP '%s'\n", argv[3]);
        return 1;
    }
    return 0;
}
