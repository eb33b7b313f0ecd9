#pragma once

// Exports to Tiled's JSON map: an RMP file read front to back, or a MAP file and tileset through the conversion core.
// Either writes OUT.tmj (or .json), STEM.tsj and STEM.png, each replaced only once all of them are made.

#include <memory>
#include <optional>
#include <string>

#include "convert/Conversion.h"
#include "filesystem/File.h"
#include "filesystem/FileSystem.h"
#include "tiled/TiledWriter.h"

namespace gridport::tiled {

// Exports the RMP file read from file (at its start; it must seek). Anything that a Tiled map can't give back exactly
// fails (Input), naming the file and offset, before an output is replaced.
Expected<void> ExportRmp(File& file, const std::string& path, const std::string& map, FileSystem& fileSystem);

// The converted map, exported as gridport's RMP file of it would be: the conversion's sink.
class TiledOutput final : public ConversionSink {
public:
    TiledOutput(const std::string& map, FileSystem& fileSystem, std::string mapPath, std::string tilesetPath);
    // Into the outputs paths names, the tileset perhaps written with another map (ExportPaths).
    TiledOutput(ExportPaths paths, FileSystem& fileSystem, std::string mapPath, std::string tilesetPath);
    ~TiledOutput() override;

    // Why the export could not be made, or its commit's result. Only after a conversion that succeeded.
    Expected<void> Commit();

    void Begin(const MapDescription& map, const TilesetHeader* tileset) override;
    bool WantsMapOrder() const override { return true; }
    CellSink* Layer(std::size_t index, const MapFileLayer& layer) override;
    void LayerDone(std::size_t index, std::uint16_t largest) override;
    void TilePixels(const std::uint8_t* bytes, std::size_t count) override;
    void PixelsDone() override;
    void TileInfo(const RtsTileInfo& info) override;

private:
    class Cells;

    ExportPaths paths_;
    FileSystem& fileSystem_;
    std::string inputs_[2];
    std::optional<Error> failure_;
    std::unique_ptr<TiledWriter> writer_;
    std::unique_ptr<Cells> cells_;
    const MapDescription* map_ = nullptr;
    TilesetHeader tileset_;
    std::uint32_t infos_ = 0;
};

}  // namespace gridport::tiled
