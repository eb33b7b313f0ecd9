#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "filesystem/Error.h"
#include "filesystem/FileSystem.h"
#include "map/MapEntity.h"
#include "map/MapLayer.h"
#include "map/MapZone.h"
#include "tileset/Tileset.h"

namespace gridport {

// The map one conversion builds and writes. The entity list refers to
// entities owned elsewhere; the map never creates or destroys one.
class TileMap {
public:
    // The RMP file counts layers in 8 bits, entities, zones and layer sizes
    // in 16 bits.
    static constexpr std::size_t kMaxLayers = 255;
    static constexpr std::size_t kMaxRecords = 65535;
    static constexpr std::int32_t kMaxLayerSide = 65535;

    TileMap() = default;
    TileMap(const TileMap&) = delete;
    TileMap& operator=(const TileMap&) = delete;

    void SetHeaderX(std::int32_t value) { headerX = value; }
    void SetHeaderY(std::int32_t value) { headerY = value; }
    void SetHeaderLayer(std::int32_t value) { headerLayer = value; }
    void SetHeaderMode(std::int32_t value) { headerMode = value; }
    void SetLinkedFileName(std::string_view text) { linkedFileName.assign(text); }
    void AppendLayer(const MapLayer& layer) { layers.push_back(layer); }
    // For a layer the caller throws away next: its grid moves, not copies.
    void AppendLayer(MapLayer&& layer) { layers.push_back(std::move(layer)); }

    // Reads a MAP file of either version and its tileset (src/import). On
    // false, error says why, and the map is as the import's first step left
    // it: no layers, entities, linked file name or texts A and B; the header
    // values, the text list, the zones and the tileset as they were before
    // the call.
    [[nodiscard]] bool ImportMap(const std::string& mapPath, const std::string& tilesetPath, FileSystem& fileSystem,
                                 Error& error);
    [[nodiscard]] bool ImportMap(const std::string& mapPath, const std::string& tilesetPath, FileSystem& fileSystem);
    // Whether the RMP format can describe this map in full, tileset included;
    // when not, error names the limit, for the file path.
    [[nodiscard]] bool FitsRmpFormat(const std::string& path, Error& error) const;
    [[nodiscard]] bool FitsRmpFormat() const;
    // Writes the map as an RMP map file. False, with no file created, when the
    // format can't describe the map or the output can't be opened; false as
    // well when a write, the flush or the close of the output fails. The
    // header layer is written with its factors off; the map is not changed.
    [[nodiscard]] bool Save(const std::string& path, FileSystem& fileSystem, Error& error) const;
    [[nodiscard]] bool Save(const std::string& path, FileSystem& fileSystem) const;

    std::int32_t headerX = 0;
    std::int32_t headerY = 0;
    std::int32_t headerLayer = 0;
    std::int32_t headerMode = 0;
    std::string linkedFileName;
    std::string textA;
    std::string textB;
    std::array<std::string, 4> textList;
    std::vector<MapLayer> layers;
    std::vector<std::reference_wrapper<const MapEntity>> entities;
    std::vector<MapZone> zones;
    Tileset tileset;
};

}  // namespace gridport
