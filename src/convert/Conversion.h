#pragma once

// The one conversion core: a streaming pass over a MAP file and tileset that checks everything and feeds a sink.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <memory>
#include <string>

#include "filesystem/BufferedReader.h"
#include "filesystem/FileSystem.h"
#include "mapfile/MapReader.h"
#include "tileset/RtsReader.h"
#include "tileset/TilesetReader.h"

namespace gridport {

// The converted map's tiles: the tileset's, plus for a version-1 map one transparent tile for empty foreground cells.
std::uint64_t OutputTileCount(const MapDescription& map, const TilesetHeader& tileset);

// Whether an RMP file can hold the map: at most 255 layers and 65535 tiles. The reason (ErrorKind::Limit) names it.
Expected<void> CheckRmpLimits(const MapDescription& map, const TilesetHeader& tileset, const std::string& output);

class ConversionSink {
public:
    virtual ~ConversionSink() = default;

    // Both headers have been read: the map and, when the pass has one, the tileset.
    virtual void Begin(const MapDescription& map, const TilesetHeader* tileset) = 0;
    // Whether layers come as the map has them (a file layer may come twice, or never); else each once, in file order.
    virtual bool WantsMapOrder() const { return false; }
    // Whether the pass reads on past a failure that leaves the file readable, so the sink sees the whole map.
    virtual bool ReadsEverything() const { return false; }
    // Where the next layer's cells go (map or file layer, as chosen above); nullptr to have them only checked.
    virtual CellSink* Layer(std::size_t index, const MapFileLayer& layer) = 0;
    // The layer's cells are all there; largest is the largest of them.
    virtual void LayerDone(std::size_t /*index*/, std::uint16_t /*largest*/) {}
    // The tileset's pixels, tile after tile; then each tile's information.
    virtual void TilePixels(const std::uint8_t* /*bytes*/, std::size_t /*count*/) {}
    virtual void PixelsDone() {}
    virtual void TileInfo(const RtsTileInfo& /*info*/) {}
};

struct TilesetInput {
    BufferedReader& in;
    TilesetKind kind;
};

// Reads the MAP file's header and layers, and the tileset if any, into the sink. The error is the first failure: an
// unreadable file, a short layer, a cell beyond the tileset, an empty tileset. A set tilesetFailure is why the tileset
// could not be opened; the pass then reads the map alone, for a sink that reads everything.
Expected<void> RunConversion(MapReader& map, std::optional<TilesetInput> tileset, ConversionSink& sink,
                             std::optional<Error> tilesetFailure = std::nullopt);
// The same on two files opened through the file system.
Expected<void> RunConversion(const std::string& mapPath, const std::string& tilesetPath, FileSystem& fileSystem,
                             ConversionSink& sink);

// gridport's sink: the RMP file, replacing path only once Commit finds it all written. An output that is an input,
// however spelt, is refused before anything is written.
class RmpOutput final : public ConversionSink {
public:
    RmpOutput(std::string path, FileSystem& fileSystem, std::string mapPath, std::string tilesetPath);
    ~RmpOutput() override;

    // Why the output could not be made, or its commit's result. Only a conversion whose import succeeded is committed.
    Expected<void> Commit();

    void Begin(const MapDescription& map, const TilesetHeader* tileset) override;
    bool WantsMapOrder() const override { return true; }
    CellSink* Layer(std::size_t index, const MapFileLayer& layer) override;
    void TilePixels(const std::uint8_t* bytes, std::size_t count) override;
    void PixelsDone() override;
    void TileInfo(const RtsTileInfo& info) override;

private:
    class Cells;
    void StartTileset();  // The embedded tileset's header, before its first bytes.

    std::string path_;
    FileSystem& fileSystem_;
    std::string inputs_[2];
    std::optional<Error> failure_;
    std::unique_ptr<OutputFile> file_;
    std::unique_ptr<class RmpWriter> writer_;
    std::unique_ptr<Cells> cells_;
    const MapDescription* map_ = nullptr;
    TilesetHeader tileset_;
    bool tilesetStarted_ = false;
    std::uint32_t infos_ = 0;
};

// The sink that writes nothing, only checks (mapview's verdict). Result is whether an RMP file can hold the map.
class FormatCheck : public ConversionSink {
public:
    explicit FormatCheck(std::string output = {}) : output_(std::move(output)) {}

    Expected<void> Result() const { return limits_ ? Expected<void>(*limits_) : Success(); }

    void Begin(const MapDescription& map, const TilesetHeader* tileset) override;
    CellSink* Layer(std::size_t, const MapFileLayer&) override { return nullptr; }

private:
    std::string output_;
    std::optional<Error> limits_;
};

}  // namespace gridport
