// The RTS tileset reader alone. A tileset it accepts must save, and the saved
// file must load back and save to the same bytes.

#include "FuzzSupport.h"
#include "support/MemoryFileSystem.h"
#include "tileset/Tileset.h"

namespace {

gridport::test::Bytes Saved(const gridport::Tileset& tileset, gridport::test::MemoryFileSystem& files) {
    const auto file = files.Open("out.rts", gridport::OpenMode::Write);
    gridport::test::Require(tileset.Save(*file), "a loaded tileset failed to save");
    return files.Get("out.rts");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gridport::test;
    MemoryFileSystem files;
    files.Put("in.rts", Bytes(data, data + size));
    gridport::Tileset tileset;
    const bool loaded = tileset.Load("in.rts", files);
    Require(files.OpenFiles() == 0, "the file was left open");
    if (!loaded) {
        Require(tileset.tiles.empty() && tileset.tileWidth == 16 && tileset.tileHeight == 16,
                "a failed load changed the tileset");
        return 0;
    }
    Require(tileset.FitsRtsFormat(), "a loaded tileset has tiles of another size than its own");
    const Bytes saved = Saved(tileset, files);
    gridport::Tileset reloaded;
    Require(reloaded.Load("out.rts", files), "a saved tileset failed to load");
    Require(Saved(reloaded, files) == saved, "a saved tileset changed on loading it again");
    return 0;
}
