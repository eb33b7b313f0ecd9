// The VSP tileset import alone.

#include "FuzzSupport.h"
#include "filesystem/ByteOrder.h"
#include "support/MemoryFileSystem.h"
#include "tileset/Tileset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gridport::test;
    MemoryFileSystem files;
    files.Put("in.vsp", Bytes(data, data + size));
    gridport::Tileset tileset;
    const bool imported = tileset.ImportVsp("in.vsp", files);
    Require(files.OpenFiles() == 0, "the file was left open");
    if (!imported) {
        Require(tileset.tiles.empty(), "a failed import changed the tileset");
        return 0;
    }
    Require(size >= 772 && tileset.TileCount() == gridport::LoadU16(data + 770),
            "the tile count differs from the file's");
    Require(tileset.tileWidth == 16 && tileset.tileHeight == 16 && tileset.FitsRtsFormat(),
            "the tiles are not 16 x 16");
    for (const gridport::Tile& tile : tileset.tiles) {
        const Bytes& pixels = tile.image.pixels;
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            Require(pixels[i + 3] == 255 || (pixels[i] | pixels[i + 1] | pixels[i + 2] | pixels[i + 3]) == 0,
                    "a pixel is neither opaque nor transparent black");
        }
    }
    return 0;
}
