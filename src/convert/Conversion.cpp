// The conversion core: one streaming pass over a MAP file and its tileset, and the sinks gridport and mapview give it.

#include "convert/Conversion.h"

#include <algorithm>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "rmp/RmpLayout.h"
#include "rmp/RmpWriter.h"
#include "tileset/RtsLayout.h"
#include "tileset/RtsWriter.h"

namespace gridport {

namespace {

// "layer "Foreground" cell (3, 4) holds tile 10; the tileset has 10 tiles": cells count row by row from the first.
std::string CellBeyondTileset(const MapFileLayer& layer, std::uint64_t cell, std::uint32_t value,
                              std::uint32_t tileCount) {
    const std::uint64_t width = std::max<std::uint64_t>(layer.width, 1);
    return LayerWords(layer) + " cell (" + std::to_string(cell % width) + ", " + std::to_string(cell / width) +
           ") holds tile " + std::to_string(value) + "; the tileset has " + Counted(tileCount, "tile");
}

// A layer's cells bound for the sink's block (or the pass's own, only checked); the first beyond the tileset fails.
class CheckedLayer final : public CellSink {
public:
    CheckedLayer(const MapFileLayer& layer, const std::string& path, std::optional<std::uint32_t> tileCount,
                 CellSink* target, std::vector<std::uint8_t>& scratch)
        : layer_(layer), path_(path), tileCount_(tileCount), target_(target), scratch_(scratch) {}

    std::optional<Error>& Failure() { return failure_; }
    std::uint16_t Largest() const { return largest_; }

    std::uint8_t* Block() override {
        if (target_ != nullptr) {
            return block_ = target_->Block();
        }
        scratch_.resize(2 * kBlockCells);
        return block_ = scratch_.data();
    }
    void Filled(std::size_t count, std::uint16_t largest) override {
        if (tileCount_ && largest >= *tileCount_ && !failure_) {
            std::size_t at = 0;
            while (LoadU16(block_ + 2 * at) < *tileCount_) {
                ++at;
            }
            failure_ = Error(path_, CellBeyondTileset(layer_, done_ + at, LoadU16(block_ + 2 * at), *tileCount_));
        }
        largest_ = std::max(largest_, largest);
        done_ += count;
        if (target_ != nullptr) {
            target_->Filled(count, largest);
        }
    }

private:
    const MapFileLayer& layer_;
    const std::string& path_;
    std::optional<std::uint32_t> tileCount_;
    CellSink* target_;
    std::vector<std::uint8_t>& scratch_;
    std::uint8_t* block_ = nullptr;
    std::uint64_t done_ = 0;
    std::uint16_t largest_ = 0;
    std::optional<Error> failure_;
};

// The pass itself. The first failure is kept; one that leaves the files readable goes on only for a reading sink.
class Pass {
public:
    Pass(MapReader& map, ConversionSink& sink) : map_(map), sink_(sink) {}

    // tilesetFailure is why the tileset could not be opened, if it could not.
    Expected<void> Run(std::optional<TilesetInput> tileset, std::optional<Error> tilesetFailure) {
        if (Expected<void> header = map_.ReadHeader(); !header) {
            return header;
        }
        if (tilesetFailure) {
            Keep(std::move(*tilesetFailure));
        }
        std::optional<TilesetReader> tiles;
        std::optional<TilesetHeader> header;
        if (tileset) {
            tiles.emplace(tileset->in, tileset->kind);
            Expected<TilesetHeader> read = tiles->ReadHeader();
            if (!read) {
                Keep(read.error());
            } else {
                header = *read;
                if (header->tileCount == 0) {
                    Keep(Error(tileset->in.Path(), "the tileset has no tiles"));
                }
            }
        }
        sink_.Begin(map_.Description(), header ? &*header : nullptr);
        if (header) {
            tileCount_ = header->tileCount;
        }
        if (!GoingOn() || !Layers() || !header || !GoingOn()) {
            return Result();
        }
        Tiles(*tiles, *header);
        return Result();
    }

private:
    Expected<void> Result() const { return first_ ? Expected<void>(*first_) : Success(); }
    bool GoingOn() const { return !first_ || sink_.ReadsEverything(); }
    void Keep(Error error) {
        if (!first_) {
            first_ = std::move(error);
        }
    }

    // Decodes one file layer into the sink's index-th layer; false when the file can't be read on.
    bool Decode(std::size_t fileLayer, std::size_t index, bool toSink) {
        const MapFileLayer& layer = map_.Description().fileLayers[fileLayer];
        CellSink* target = toSink ? sink_.Layer(index, layer) : nullptr;
        CheckedLayer checked(layer, map_.Path(), tileCount_, target, scratch_);
        decoded_[fileLayer] = true;
        Expected<void> decoded = map_.Decode(fileLayer, checked);
        if (checked.Failure()) {
            Keep(std::move(*checked.Failure()));
        }
        if (!decoded) {
            Keep(decoded.error());
            return false;
        }
        if (toSink) {
            sink_.LayerDone(index, checked.Largest());
        }
        return GoingOn();
    }

    bool Layers() {
        const MapDescription& description = map_.Description();
        decoded_.assign(description.fileLayers.size(), false);
        if (sink_.WantsMapOrder()) {
            for (std::size_t i = 0; i < description.outputLayers.size(); ++i) {
                if (!Decode(description.outputLayers[i], i, true)) {
                    return false;
                }
            }
        }
        // Layers the map doesn't get must still read, and name only tiles the tileset has.
        for (std::size_t fileLayer = 0; fileLayer < decoded_.size(); ++fileLayer) {
            if (!decoded_[fileLayer] && !Decode(fileLayer, fileLayer, !sink_.WantsMapOrder())) {
                return false;
            }
        }
        return true;
    }

    void Tiles(TilesetReader& tiles, const TilesetHeader& header) {
        const ByteVisitor pixels = [this](const std::uint8_t* bytes, std::size_t count) {
            sink_.TilePixels(bytes, count);
        };
        for (std::size_t i = 0; i < header.tileCount; ++i) {
            if (Expected<void> read = tiles.ReadPixels(i, pixels); !read) {
                return Keep(read.error());
            }
        }
        sink_.PixelsDone();
        RtsTileInfo info;
        for (std::size_t i = 0; i < header.tileCount; ++i) {
            if (Expected<void> read = tiles.ReadInfo(i, info); !read) {
                return Keep(read.error());
            }
            sink_.TileInfo(info);
        }
    }

    MapReader& map_;
    ConversionSink& sink_;
    std::optional<std::uint32_t> tileCount_;
    std::vector<bool> decoded_;
    std::vector<std::uint8_t> scratch_;  // Where the cells that only are checked are decoded.
    std::optional<Error> first_;
};

}  // namespace

std::uint64_t OutputTileCount(const MapDescription& map, const TilesetHeader& tileset) {
    return std::uint64_t{tileset.tileCount} + (map.version == 1 ? 1 : 0);
}

Expected<void> CheckRmpLimits(const MapDescription& map, const TilesetHeader& tileset, const std::string& output) {
    if (map.outputLayers.size() > rmp::kMaxLayers) {
        return Error(ErrorKind::Limit, output,
                     "the RMP format holds at most " + std::to_string(rmp::kMaxLayers) + " layers; the map has " +
                         std::to_string(map.outputLayers.size()));
    }
    if (const std::uint64_t tiles = OutputTileCount(map, tileset); tiles > rts::kMaxTiles) {
        return Error(ErrorKind::Limit, output,
                     "the RMP format holds at most " + std::to_string(rts::kMaxTiles) + " tiles; the map needs " +
                         std::to_string(tiles));
    }
    return Success();
}

Expected<void> RunConversion(MapReader& map, std::optional<TilesetInput> tileset, ConversionSink& sink,
                             std::optional<Error> tilesetFailure) {
    return Pass(map, sink).Run(tileset, std::move(tilesetFailure));
}

Expected<void> RunConversion(const std::string& mapPath, const std::string& tilesetPath, FileSystem& fileSystem,
                             ConversionSink& sink) {
    Expected<std::unique_ptr<File>> mapFile = fileSystem.Open(mapPath, OpenMode::Read);
    if (!mapFile) {
        return mapFile.error();
    }
    MapReader map(**mapFile, mapPath);
    // A MAP file that won't read is the reason, whatever the tileset.
    Expected<std::unique_ptr<File>> tilesetFile = fileSystem.Open(tilesetPath, OpenMode::Read);
    if (!tilesetFile) {
        return RunConversion(map, std::nullopt, sink, tilesetFile.error());
    }
    BufferedReader tilesetIn(**tilesetFile, tilesetPath);
    return RunConversion(map, TilesetInput{tilesetIn, TilesetKindOf(tilesetPath)}, sink);
}

// A written layer's cells land in the writer's own buffer, where the version-1 foreground rule rewrites them in place.
class RmpOutput::Cells final : public CellSink {
public:
    explicit Cells(RmpWriter& writer) : writer_(writer) {}

    void Start(std::optional<std::uint16_t> emptyAs) { emptyAs_ = emptyAs; }

    std::uint8_t* Block() override { return block_ = writer_.CellRoom(kBlockCells); }
    void Filled(std::size_t count, std::uint16_t) override {
        if (emptyAs_) {
            ReplaceEmpty(*emptyAs_, count);
        }
        writer_.CommitCells(count);
    }

private:
    // Every 0 among the block's first count cells becomes with; whole steps go through an array so loops vectorise.
    void ReplaceEmpty(std::uint16_t with, std::size_t count) {
        constexpr std::size_t kStep = 64;
        std::size_t i = 0;
        for (; i + kStep <= count; i += kStep) {
            std::uint8_t* const cells = block_ + 2 * i;
            std::uint16_t words[kStep];
            for (std::size_t k = 0; k < kStep; ++k) {
                const std::uint16_t value = LoadU16(cells + 2 * k);
                words[k] = value == 0 ? with : value;
            }
            for (std::size_t k = 0; k < kStep; ++k) {
                StoreU16(cells + 2 * k, words[k]);
            }
        }
        for (; i < count; ++i) {
            if (LoadU16(block_ + 2 * i) == 0) {
                StoreU16(block_ + 2 * i, with);
            }
        }
    }

    RmpWriter& writer_;
    std::optional<std::uint16_t> emptyAs_;
    std::uint8_t* block_ = nullptr;
};

RmpOutput::RmpOutput(std::string path, FileSystem& fileSystem, std::string mapPath, std::string tilesetPath)
    : path_(std::move(path)), fileSystem_(fileSystem), inputs_{std::move(mapPath), std::move(tilesetPath)} {}

RmpOutput::~RmpOutput() = default;

void RmpOutput::Begin(const MapDescription& map, const TilesetHeader* tileset) {
    map_ = &map;
    if (tileset == nullptr) {
        return;
    }
    tileset_ = *tileset;
    if (Expected<void> fits = CheckRmpLimits(map, *tileset, path_); !fits) {
        failure_ = fits.error();
        return;
    }
    // Writing over an input would destroy what is being read.
    for (const std::string& input : inputs_) {
        if (fileSystem_.SameFile(path_, input)) {
            failure_ = Error(path_, "the output is the input " + input);
            return;
        }
    }
    Expected<std::unique_ptr<OutputFile>> file = fileSystem_.OpenOutput(path_);
    if (!file) {
        failure_ = file.error();
        return;
    }
    file_ = std::move(*file);
    writer_ = std::make_unique<RmpWriter>(*file_, 256 * 1024);  // Large blocks: the layers are most of what is written.
    cells_ = std::make_unique<Cells>(*writer_);
    writer_->Head(map.headerX, map.headerY, map.headerLayer.value_or(0), map.headerMode.value_or(0),
                  map.outputLayers.size(), map.linkedFileName);
}

CellSink* RmpOutput::Layer(std::size_t index, const MapFileLayer& layer) {
    if (writer_ == nullptr) {
        return nullptr;
    }
    RmpLayerFields fields;
    fields.name = layer.name;
    writer_->BeginLayer(fields, layer.width, layer.height);
    // Empty foreground cells point at the transparent tile.
    const bool foreground = map_->ZeroIsEmpty(map_->outputLayers[index]);
    cells_->Start(foreground ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(tileset_.tileCount))
                             : std::nullopt);
    return cells_.get();
}

void RmpOutput::StartTileset() {
    if (!tilesetStarted_) {
        WriteRtsHeader(writer_->Out(), static_cast<std::uint32_t>(OutputTileCount(*map_, tileset_)),
                       tileset_.tileWidth, tileset_.tileHeight);
        tilesetStarted_ = true;
    }
}

void RmpOutput::TilePixels(const std::uint8_t* bytes, std::size_t count) {
    if (writer_ != nullptr) {
        StartTileset();
        writer_->Out().PutBytes(bytes, count);
    }
}

// Tiles of no pixels hand none on: the tileset starts here at the latest.
void RmpOutput::PixelsDone() {
    if (writer_ == nullptr) {
        return;
    }
    StartTileset();
    if (OutputTileCount(*map_, tileset_) > tileset_.tileCount) {
        writer_->Out().PutZeros(static_cast<std::size_t>(tileset_.TileBytes()));
    }
}

void RmpOutput::TileInfo(const RtsTileInfo& info) {
    if (writer_ == nullptr) {
        return;
    }
    BufferedWriter& out = writer_->Out();
    WriteRtsInfo(out, info.infoFlag, info.infoValueA, info.infoValueB, static_cast<std::uint32_t>(info.segments.size()));
    for (const auto& [x1, y1, x2, y2] : info.segments) {
        WriteRtsSegment(out, x1, y1, x2, y2);
    }
    if (++infos_ == tileset_.tileCount && OutputTileCount(*map_, tileset_) > tileset_.tileCount) {
        WriteRtsInfo(out, false, 0, 0, 0);
    }
}

Expected<void> RmpOutput::Commit() {
    if (failure_) {
        return *failure_;
    }
    if (writer_ == nullptr) {
        return Error(path_, "nothing was converted");
    }
    writer_->Flush();
    return file_->Commit();
}

void FormatCheck::Begin(const MapDescription& map, const TilesetHeader* tileset) {
    if (tileset != nullptr) {
        if (Expected<void> fits = CheckRmpLimits(map, *tileset, output_); !fits) {
            limits_ = fits.error();
        }
    }
}

}  // namespace gridport
