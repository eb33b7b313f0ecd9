// gridport MAP TILESET RMP: converts a MAP file and its tileset into an RMP file with the tileset embedded. Prints one
// line on failure, nothing on success, and never writes to standard error.

#include <cstdio>
#include <new>

#include "convert/Conversion.h"
#include "filesystem/DefaultFileSystem.h"
#include "base/Signals.h"

namespace {

enum class Outcome { Converted, ImportFailed, SaveFailed };

Outcome Convert(const char* mapPath, const char* tilesetPath, const char* outputPath) {
    try {
        gridport::RmpOutput output(outputPath, gridport::defaultFileSystem, mapPath, tilesetPath);
        if (!gridport::RunConversion(mapPath, tilesetPath, gridport::defaultFileSystem, output)) {
            return Outcome::ImportFailed;
        }
        return output.Commit() ? Outcome::Converted : Outcome::SaveFailed;
    } catch (const std::bad_alloc&) {
        return Outcome::ImportFailed;  // Out of memory before the output was committed: the import's.
    }
}

}  // namespace

int main(int argc, char** argv) {
    gridport::InstallSignalCleanup(gridport::BrokenPipe::Fails);  // A broken pipe is a save that fails, with its line.
    if (argc != 4) {
        std::puts("Syntax: gridport <mapfile> <rss/vsp file> <rmpfile>");
        return 1;
    }
    switch (Convert(argv[1], argv[2], argv[3])) {
        case Outcome::Converted:
            return 0;
        case Outcome::ImportFailed:
            std::printf("Error: Could not import MAP '%s' '%s'\n", argv[1], argv[2]);
            return 1;
        case Outcome::SaveFailed:
            break;
    }
    std::printf("Error: Could not save RMP '%s'\n", argv[3]);
    return 1;
}
