// TileMap::ImportMap: the map's layers as grids, from the MAP reader's cell
// streams. Every file layer is decoded, the tileset loaded, every cell
// checked against the tile count, and only then is the map changed.

#include <algorithm>
#include <new>

#include "filesystem/ByteOrder.h"
#include "filesystem/Counted.h"
#include "filesystem/OpenFile.h"
#include "import/ImportSteps.h"
#include "import/MapReader.h"
#include "map/GridMemory.h"
#include "map/TileMap.h"

namespace gridport {

std::string CellBeyondTileset(const MapFileLayer& layer, std::uint64_t cell, std::uint32_t value,
                              std::int32_t tileCount) {
    return "layer \"" + layer.name + "\" cell (" + std::to_string(cell % std::max<std::uint64_t>(layer.width, 1)) +
           ", " + std::to_string(cell / std::max<std::uint64_t>(layer.width, 1)) + ") holds tile " +
           std::to_string(value) + "; the tileset has " + Counted(static_cast<std::uint64_t>(tileCount), "tile");
}

namespace {

// The first cell of the file layers, in file order, that names no tile.
bool FailFirstCellBeyond(const std::string& path, const std::string& tilesetPath,
                         const MapDescription& description, const std::vector<MapLayer>& layers,
                         std::int32_t tileCount, Error& error) {
    if (tileCount == 0) {
        return error.Fail(tilesetPath, "the tileset has no tiles");
    }
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const std::vector<std::uint32_t>& cells = layers[i].tiles;
        const auto beyond = std::find_if(cells.begin(), cells.end(), [tileCount](std::uint32_t cell) {
            return cell >= static_cast<std::uint32_t>(tileCount);
        });
        if (beyond != cells.end()) {
            return error.Fail(path, CellBeyondTileset(description.fileLayers[i],
                                                      static_cast<std::uint64_t>(beyond - cells.begin()), *beyond,
                                                      tileCount));
        }
    }
    return false;
}

}  // namespace

bool TileMap::ImportMap(const std::string& mapPath, const std::string& tilesetPath, FileSystem& fileSystem) {
    Error ignored;
    return ImportMap(mapPath, tilesetPath, fileSystem, ignored);
}

bool TileMap::ImportMap(const std::string& mapPath, const std::string& tilesetPath, FileSystem& fileSystem,
                        Error& error) {
    linkedFileName.clear();
    textA.clear();
    textB.clear();
    layers.clear();
    entities.clear();
    try {
        const std::unique_ptr<File> file = OpenRecorded(fileSystem, mapPath, OpenMode::Read, error);
        if (file == nullptr) {
            return false;
        }
        MapReader reader(*file, mapPath);
        if (!reader.ReadHeader(error)) {
            return false;
        }
        const MapDescription& description = reader.Description();
        std::vector<MapLayer> fileLayers(description.fileLayers.size());
        std::uint32_t largest = 0;
        for (std::size_t i = 0; i < fileLayers.size(); ++i) {
            MapLayer& layer = fileLayers[i];
            const MapFileLayer& stored = description.fileLayers[i];
            layer.SetName(stored.name);
            ReserveGrid(layer.tiles, static_cast<std::size_t>(stored.CellCount()));
            const CellVisitor append = [&layer, &largest](const std::uint8_t* cells, std::size_t count,
                                                          std::uint16_t top) {
                const std::size_t at = layer.tiles.size();
                layer.tiles.resize(at + count);
                LoadU16s(cells, count, layer.tiles.data() + at);
                largest = std::max<std::uint32_t>(largest, top);
            };
            if (!reader.Decode(i, append, error)) {
                return false;
            }
            layer.width = stored.width;
            layer.height = stored.height;
        }

        Tileset loaded;
        if (!LoadTileset(tilesetPath, fileSystem, loaded, error)) {
            return false;
        }
        const std::int32_t tileCount = loaded.TileCount();
        if (largest >= static_cast<std::uint32_t>(tileCount)) {
            return FailFirstCellBeyond(mapPath, tilesetPath, description, fileLayers, tileCount, error);
        }
        if (description.version == 1) {
            // Empty foreground cells point at the transparent tile appended
            // to the tileset. Written without a branch, so that the loop
            // vectorises.
            const auto transparent = static_cast<std::uint32_t>(tileCount);
            for (std::uint32_t& cell : fileLayers[1].tiles) {
                cell = cell == 0 ? transparent : cell;
            }
            loaded.AppendBlankTiles(1);
            std::vector<std::uint8_t>& pixels = loaded.tiles.back().image.pixels;
            std::fill(pixels.begin(), pixels.end(), std::uint8_t{0});
        }

        // A file layer's last mention moves it instead of copying.
        std::vector<MapLayer> mapLayers;
        mapLayers.reserve(description.outputLayers.size());
        for (std::size_t k = 0; k < description.outputLayers.size(); ++k) {
            const std::size_t index = description.outputLayers[k];
            const auto later = std::find(description.outputLayers.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                                         description.outputLayers.end(), index);
            if (later == description.outputLayers.end()) {
                mapLayers.push_back(std::move(fileLayers[index]));
            } else {
                mapLayers.push_back(fileLayers[index]);
            }
        }
        std::string name = description.linkedFileName;
        // Nothing below allocates: the map takes the import's objects over.
        layers = std::move(mapLayers);
        tileset = std::move(loaded);
        linkedFileName = std::move(name);
        SetHeaderX(description.headerX);
        SetHeaderY(description.headerY);
        if (description.headerMode) {
            SetHeaderMode(*description.headerMode);
        }
        if (description.headerLayer) {
            SetHeaderLayer(*description.headerLayer);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return error.Fail(mapPath, "out of memory for the map");
    }
}

}  // namespace gridport
