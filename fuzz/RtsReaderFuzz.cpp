// The RTS tileset reader alone. A tileset it accepts has tiles of its own
// size, and written out by the byte builders it loads back the same.

#include "FuzzSupport.h"
#include "support/MemoryFileSystem.h"
#include "support/Tileset.h"

namespace {

gridport::Expected<gridport::Tileset> Loaded(const gridport::test::Bytes& bytes) {
    gridport::test::MemoryFileSystem files;
    files.Put("in.rts", bytes);
    const auto file = std::move(*files.Open("in.rts", gridport::OpenMode::Read));
    gridport::BufferedReader in(*file, "in.rts");
    gridport::Expected<gridport::Tileset> tileset = gridport::LoadTileset(in, gridport::TilesetKind::Rts);
    gridport::test::Require(!tileset || in.Position() <= bytes.size(), "the reader stands past the end");
    return tileset;
}

gridport::test::Bytes Written(const gridport::Tileset& tileset) {
    gridport::test::RtsFile file;
    file.tileWidth = static_cast<std::uint16_t>(tileset.tileWidth);
    file.tileHeight = static_cast<std::uint16_t>(tileset.tileHeight);
    for (const gridport::Tile& tile : tileset.tiles) {
        gridport::test::RtsTile out{tile.image.pixels, static_cast<std::uint8_t>(tile.infoFlag ? 1 : 0),
                                    static_cast<std::uint16_t>(tile.infoValueA),
                                    static_cast<std::uint16_t>(tile.infoValueB), 2, {}, {}};
        for (std::size_t k = 0; k < tile.segments.size(); ++k) {
            const gridport::Segment& s = tile.segments[k];
            out.segments.push_back({static_cast<std::uint16_t>(s.x1), static_cast<std::uint16_t>(s.y1),
                                    static_cast<std::uint16_t>(s.x2), static_cast<std::uint16_t>(s.y2)});
        }
        file.tiles.push_back(out);
    }
    return file.Build();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gridport::test;
    const gridport::Expected<gridport::Tileset> tileset = Loaded(Bytes(data, data + size));
    if (!tileset) {
        return 0;
    }
    const std::size_t pixels = static_cast<std::size_t>(tileset->tileWidth) * tileset->tileHeight * 4;
    for (const gridport::Tile& tile : tileset->tiles) {
        Require(tile.image.pixels.size() == pixels, "a loaded tile has another size than the tileset's");
    }
    const Bytes saved = Written(*tileset);
    const gridport::Expected<gridport::Tileset> reloaded = Loaded(saved);
    Require(static_cast<bool>(reloaded), "a written tileset failed to load");
    Require(Written(*reloaded) == saved, "a written tileset changed on loading it again");
    return 0;
}
