// The VSP tileset import alone.

#include "FuzzSupport.h"
#include "base/ByteOrder.h"
#include "support/MemoryFileSystem.h"
#include "support/Tileset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gridport::test;
    MemoryFileSystem files;
    files.Put("in.vsp", Bytes(data, data + size));
    const auto file = std::move(*files.Open("in.vsp", gridport::OpenMode::Read));
    gridport::BufferedReader in(*file, "in.vsp");
    const gridport::Expected<gridport::Tileset> tileset = gridport::LoadTileset(in, gridport::TilesetKind::Vsp);
    if (!tileset) {
        Require(tileset.error().Path() == "in.vsp", "a refusal that names another file");
        return 0;
    }
    Require(size >= 772 && tileset->TileCount() == gridport::LoadU16(data + 770),
            "the tile count differs from the file's");
    Require(tileset->tileWidth == 16 && tileset->tileHeight == 16, "the tiles are not 16 x 16");
    for (const gridport::Tile& tile : tileset->tiles) {
        Require(tile.image.pixels.size() == 16 * 16 * 4, "a tile is not 16 x 16");
        const Bytes& pixels = tile.image.pixels;
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            Require(pixels[i + 3] == 255 || (pixels[i] | pixels[i + 1] | pixels[i + 2] | pixels[i + 3]) == 0,
                    "a pixel is neither opaque nor transparent black");
        }
    }
    return 0;
}
