#include <algorithm>
#include <new>

#include "import/ImportSteps.h"
#include "map/TileMap.h"

namespace gridport {

namespace {

constexpr std::uint8_t kVersion1Byte = 4;
constexpr std::uint8_t kVersion2Signature[6] = {0x4D, 0x41, 0x50, 0xF9, 0x35, 0x00};

}  // namespace

bool TileMap::ImportMap(const std::string& mapPath, const std::string& tilesetPath, FileSystem& fileSystem) {
    linkedFileName.clear();
    textA.clear();
    textB.clear();
    layers.clear();
    entities.clear();
    try {
        const std::unique_ptr<File> file = fileSystem.Open(mapPath, OpenMode::Read);
        if (file == nullptr) {
            return false;
        }
        // A file shorter than six bytes is judged by the bytes it has.
        std::uint8_t start[6] = {};
        const std::uint32_t got = file->Read(start, sizeof start);
        if (file->Seek(0) != 0) {
            return false;
        }
        ImportedMap imported;
        bool ok = false;
        if (got >= 1 && start[0] == kVersion1Byte) {
            ok = ImportMapVersion1(*file, tilesetPath, fileSystem, imported);
        } else if (got == sizeof start && std::equal(start, start + got, kVersion2Signature)) {
            ok = ImportMapVersion2(*file, tilesetPath, fileSystem, imported);
        }
        if (!ok) {
            return false;
        }
        // Nothing below allocates: the map takes the import's objects over.
        layers = std::move(imported.layers);
        tileset = std::move(imported.tileset);
        linkedFileName = std::move(imported.linkedFileName);
        SetHeaderX(imported.headerX);
        SetHeaderY(imported.headerY);
        if (imported.headerMode) {
            SetHeaderMode(*imported.headerMode);
        }
        if (imported.headerLayer) {
            SetHeaderLayer(*imported.headerLayer);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace gridport
