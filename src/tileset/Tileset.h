#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "filesystem/Error.h"
#include "filesystem/FileSystem.h"
#include "tileset/Tile.h"

namespace gridport {

// The tiles a map's indices refer to: index i is tiles[i]. Every tile's image
// is tileWidth x tileHeight pixels.
class Tileset {
public:
    // The RTS tileset file counts tiles, sizes and segments in 16 bits.
    static constexpr std::int64_t kFormatLimit = 65535;

    void Assign(const Tileset& other);
    std::int32_t TileCount() const { return static_cast<std::int32_t>(tiles.size()); }
    // Adds count opaque black tiles of the tileset's tile size.
    void AppendBlankTiles(std::int32_t count);

    // Replaces the tiles with the 16 x 16 tiles of a VSP tileset. On false
    // the tileset is unchanged, and error says why.
    [[nodiscard]] bool ImportVsp(const std::string& path, FileSystem& fileSystem, Error& error);
    [[nodiscard]] bool ImportVsp(const std::string& path, FileSystem& fileSystem);

    // Reads an RTS tileset file; on false the tileset is unchanged.
    [[nodiscard]] bool Load(const std::string& path, FileSystem& fileSystem, Error& error);
    [[nodiscard]] bool Load(const std::string& path, FileSystem& fileSystem);
    // From the file's position; path names the file in reasons.
    [[nodiscard]] bool Load(File& file, const std::string& path, Error& error);
    [[nodiscard]] bool Load(File& file);
    // From the reader's position; the reader stands after the tileset then.
    [[nodiscard]] bool Load(BufferedReader& in, const std::string& path, Error& error);
    // Whether the RTS format can describe this tileset in full; when not,
    // error names the limit, for the file path.
    [[nodiscard]] bool FitsRtsFormat(const std::string& path, Error& error) const;
    [[nodiscard]] bool FitsRtsFormat() const;
    // Writes the RTS form at the file's position. False, with nothing
    // written, when the format can't describe the tileset; false as well
    // when a write falls short.
    [[nodiscard]] bool Save(File& file) const;

    std::int32_t tileWidth = 16;
    std::int32_t tileHeight = 16;
    std::vector<Tile> tiles;
};

}  // namespace gridport
