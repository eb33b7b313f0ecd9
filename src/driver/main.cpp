// gridport MAP TILESET RMP: converts a MAP file and its tileset into an RMP
// map file with the tileset embedded. Prints one line on failure, nothing on
// success, and never writes to standard error.

#include <cstdio>

#include "filesystem/DefaultFileSystem.h"
#include "import/MapDescription.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::puts("Syntax: gridport <mapfile> <rss/vsp file> <rmpfile>");
        return 1;
    }
    gridport::Error error;
    switch (gridport::ConvertMap(argv[1], argv[2], argv[3], gridport::defaultFileSystem, error)) {
        case gridport::ConversionResult::Converted:
            return 0;
        case gridport::ConversionResult::ImportFailed:
            std::printf("Error: Could not import MAP '%s' '%s'\n", argv[1], argv[2]);
            return 1;
        case gridport::ConversionResult::SaveFailed:
            break;
    }
    std::printf("Error: Could not save RMP '%s'\n", argv[3]);
    return 1;
}
