#pragma once

// The one writer of Tiled maps: an RMP file's parts, front to back, become a JSON map (.tmj) written as a stream, its
// external JSON tileset (.tsj) and the tileset's image (.png). Both exports (from an RMP file and from a conversion)
// feed it, so the same map gives the same bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "filesystem/BufferedWriter.h"
#include "filesystem/FileSystem.h"
#include "rmp/RmpLayout.h"
#include "rmp/RmpReader.h"
#include "tiled/HeldOutputs.h"
#include "tileset/RtsReader.h"

namespace gridport::tiled {

// Where an export goes: the map as named, and beside it STEM.tsj and STEM.png, STEM being the map's name without its
// ending. A map whose tileset is shared with other maps names it by source and leaves it to be written once.
struct ExportPaths {
    std::string map;
    std::string tileset;
    std::string image;
    std::string stem;    // the tileset's name alone, as the tileset names its image
    std::string source;  // the tileset as the map refers to it: STEM.tsj, or a path relative to the map's folder
    bool writesTileset = true;  // false: the map alone is written, its tileset being written with another map
};

// The map's list of tilesets as the map file writes it: the one tileset, referred to as source.
std::string TilesetEntry(std::string_view source);

// Whether path names a Tiled JSON map: it ends in .tmj or .json, letter case ignored.
bool NamesTiledMap(std::string_view path);
ExportPaths PathsFor(const std::string& map);
// Fails (Output) when an output is one of the inputs, however spelt, or (Usage) when the name isn't UTF-8.
Expected<void> CheckOutputs(const ExportPaths& paths, const std::vector<std::string>& inputs, FileSystem& fileSystem);

// What comes before the first cell: the RMP file's outline (its header's values, strings, layers and record counts), and
// its tileset's tile size and count.
struct MapHead : RmpOutline {
    std::uint16_t tileWidth = 0;
    std::uint16_t tileHeight = 0;
    std::uint32_t tileCount = 0;
};

// An entity: texts[0] and [1] are text A and B, then the five list texts; its kind says how many it has.
struct EntityRecord {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    std::uint16_t layer = 0;
    std::int32_t kind = 0;
    std::array<std::string, 7> texts;
};

struct ZoneRecord {
    std::array<std::uint16_t, rmp::kZoneValueCount> values{};  // x1, y1, x2, y2, layer, aux value
    std::string text;
};

class TiledWriter {
public:
    TiledWriter(ExportPaths paths, FileSystem& fileSystem);
    ~TiledWriter();

    // Opens the map and tileset outputs and writes what head gives. Nothing is replaced before Commit.
    Expected<void> Begin(const MapHead& head);
    // The next layer's cells, tile indices as the RMP file stores them (16-bit little-endian), in the layer's row order.
    void BeginLayer();
    void Cells(const std::uint8_t* bytes, std::size_t count);
    void LayerSegment(const std::array<std::int32_t, 4>& segment);
    void EndLayer();
    void Entity(const EntityRecord& entity);
    void Zone(const ZoneRecord& zone);
    // The tileset's pixels (RGBA, tile after tile), then each tile's information.
    void Pixels(const std::uint8_t* bytes, std::size_t count);
    void TileInfo(const RtsTileInfo& info);
    // Writes the image; once all three are written in full, puts them in place: the map, the tileset, the image.
    Expected<void> Commit();

    std::uint32_t Columns() const { return columns_; }

private:
    void Put(std::string_view text) { out_->PutBytes(text.data(), text.size()); }
    void PutNumber(std::int64_t value);
    void CloseData();
    void CloseRecords();
    void OpenObjects(std::string_view name, std::size_t id);

    ExportPaths paths_;
    HeldOutputs outputs_;
    std::unique_ptr<OutputFile> mapFile_;
    std::unique_ptr<OutputFile> tilesetFile_;
    std::unique_ptr<BufferedWriter> out_;
    std::unique_ptr<BufferedWriter> tiles_;
    MapHead head_;
    std::uint32_t mapWidth_ = 0;
    std::uint32_t mapHeight_ = 0;
    std::uint32_t columns_ = 1;
    std::uint32_t rows_ = 0;
    // The layer being written: its number, how many map cells are out, where in its own row, and its segments.
    std::size_t layer_ = 0;
    std::uint64_t written_ = 0;
    std::uint32_t x_ = 0;
    bool dataOpen_ = false;
    std::uint64_t layerSegments_ = 0;
    std::size_t entities_ = 0;
    std::size_t zones_ = 0;
    bool mapClosed_ = false;
    std::uint32_t tile_ = 0;
    bool tileListed_ = false;
    std::vector<std::uint8_t> pixels_;
    std::vector<std::uint8_t> row_;
    std::string text_;  // a block of cells as text
};

}  // namespace gridport::tiled
