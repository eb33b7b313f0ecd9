// ConvertMap: the whole conversion as gridport runs it, and the tileset's
// description.

#include <new>

#include "filesystem/BufferedReader.h"
#include "filesystem/OpenFile.h"
#include "import/ImportSteps.h"
#include "import/MapDescription.h"
#include "map/TileMap.h"
#include "tileset/RtsReader.h"
#include "tileset/VspReader.h"

namespace gridport {

bool DescribeTileset(const std::string& path, FileSystem& fileSystem, TilesetDescription& description,
                     Error& error) {
    const std::unique_ptr<File> file = OpenRecorded(fileSystem, path, OpenMode::Read, error);
    if (file == nullptr) {
        return false;
    }
    try {
        BufferedReader in(*file);
        description.vsp = IsVspPath(path);
        if (description.vsp) {
            VspReader reader(in, path);
            std::uint16_t count = 0;
            if (!reader.ReadHeader(count, error)) {
                return false;
            }
            description.tileCount = count;
            description.tileWidth = VspReader::kTileSide;
            description.tileHeight = VspReader::kTileSide;
            return true;
        }
        RtsReader reader(in, path);
        RtsHeader header;
        if (!reader.ReadHeader(header, error)) {
            return false;
        }
        description.tileCount = header.tileCount;
        description.tileWidth = header.tileWidth;
        description.tileHeight = header.tileHeight;
        return true;
    } catch (const std::bad_alloc&) {
        return error.Fail(path, "out of memory");
    }
}

ConversionResult ConvertMap(const std::string& mapPath, const std::string& tilesetPath, const std::string& outputPath,
                            FileSystem& fileSystem, Error& error) {
    TileMap map;
    if (!map.ImportMap(mapPath, tilesetPath, fileSystem, error)) {
        return ConversionResult::ImportFailed;
    }
    if (outputPath.empty()) {
        return map.FitsRmpFormat(outputPath, error) ? ConversionResult::Converted : ConversionResult::SaveFailed;
    }
    return map.Save(outputPath, fileSystem, error) ? ConversionResult::Converted : ConversionResult::SaveFailed;
}

}  // namespace gridport
