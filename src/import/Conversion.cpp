// ConvertMap: the whole conversion as gridport runs it, and the tileset's
// description.

#include <algorithm>
#include <new>
#include <optional>

#include "filesystem/BufferedReader.h"
#include "filesystem/ByteOrder.h"
#include "filesystem/OpenFile.h"
#include "import/ImportSteps.h"
#include "import/MapDescription.h"
#include "map/RmpWriter.h"
#include "map/TileMap.h"
#include "import/MapReader.h"
#include "tileset/RtsWriter.h"
#include "tileset/RtsReader.h"
#include "tileset/VspReader.h"

namespace gridport {

namespace {

// Reads the tileset's header with the reader of its kind (chosen by name as
// gridport chooses), which is left in vsp or rts to read the tiles on.
bool ReadTilesetHeader(BufferedReader& in, const std::string& path, std::optional<VspReader>& vsp,
                       std::optional<RtsReader>& rts, TilesetDescription& description, Error& error) {
    description.vsp = IsVspPath(path);
    if (description.vsp) {
        std::uint16_t count = 0;
        if (!vsp.emplace(in, path).ReadHeader(count, error)) {
            return false;
        }
        description.tileCount = count;
        description.tileWidth = VspReader::kTileSide;
        description.tileHeight = VspReader::kTileSide;
        return true;
    }
    RtsHeader header;
    if (!rts.emplace(in, path).ReadHeader(header, error)) {
        return false;
    }
    description.tileCount = header.tileCount;
    description.tileWidth = header.tileWidth;
    description.tileHeight = header.tileHeight;
    return true;
}

}  // namespace

bool DescribeTileset(const std::string& path, FileSystem& fileSystem, TilesetDescription& description,
                     Error& error) {
    const std::unique_ptr<File> file = OpenRecorded(fileSystem, path, OpenMode::Read, error);
    if (file == nullptr) {
        return false;
    }
    try {
        BufferedReader in(*file);
        std::optional<VspReader> vsp;
        std::optional<RtsReader> rts;
        return ReadTilesetHeader(in, path, vsp, rts, description, error);
    } catch (const std::bad_alloc&) {
        return error.Fail(path, "out of memory");
    }
}

namespace {

// A file layer's cells on their way through the conversion, each checked
// against the tile count. The cells of a layer that is written are decoded
// straight into the writer's buffer, where the version-1 foreground rule is
// applied to them in place; other layers go to a block of their own.
// After the first cell beyond the tileset, nothing more is taken.
class CheckedLayer final : public CellSink {
public:
    CheckedLayer(const MapFileLayer& layer, const std::string& path, std::uint32_t tileCount, Error& error)
        : layer_(layer), path_(path), tileCount_(tileCount), error_(error) {}

    void WriteTo(RmpWriter& writer, std::optional<std::uint16_t> emptyAs) {
        writer_ = &writer;
        emptyAs_ = emptyAs;
    }
    void DecodeInto(std::uint8_t* block) { block_ = block; }
    bool Beyond() const { return beyond_; }

    std::uint8_t* Block() override {
        if (writer_ != nullptr) {
            block_ = writer_->CellRoom(kBlockCells);
        }
        return block_;
    }
    void Filled(std::size_t count, std::uint16_t largest) override {
        if (beyond_) {
            return;
        }
        if (largest >= tileCount_) {
            std::size_t at = 0;
            while (LoadU16(block_ + 2 * at) < tileCount_) {
                ++at;
            }
            error_.Fail(path_, CellBeyondTileset(layer_, done_ + at, LoadU16(block_ + 2 * at), tileCount_));
            beyond_ = true;
            return;
        }
        done_ += count;
        if (writer_ == nullptr) {
            return;
        }
        if (emptyAs_) {
            ReplaceEmpty(*emptyAs_, count);
        }
        writer_->CommitCells(count);
    }

private:
    // Every 0 of the block's first count cells becomes with. Whole steps go
    // through a small array, so that the loops vectorise.
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

    const MapFileLayer& layer_;
    const std::string& path_;
    const std::uint32_t tileCount_;
    Error& error_;
    RmpWriter* writer_ = nullptr;
    std::optional<std::uint16_t> emptyAs_;
    std::uint8_t* block_ = nullptr;
    std::uint64_t done_ = 0;
    bool beyond_ = false;
};

// One streaming pass: the MAP file's layers are decoded and checked a block
// at a time and written straight into the RMP file, then the tileset passes
// through a tile (or a reader block) at a time. Nothing held grows with the
// map or the tileset. An import failure ends the pass at once, and the output,
// never committed, is discarded. A failed write does not: the checks that tell
// an import failure from a save failure go on to the end, with nothing more
// written.
class StreamingConversion {
public:
    StreamingConversion(const std::string& mapPath, const std::string& tilesetPath, FileSystem& fileSystem,
                        Error& error)
        : mapPath_(mapPath), tilesetPath_(tilesetPath), fileSystem_(fileSystem), error_(error) {}

    ConversionResult Run(const std::string& outputPath) {
        if (!ReadHeaders()) {
            return ConversionResult::ImportFailed;
        }
        const MapDescription& description = map_->Description();
        const std::uint64_t outputTiles = std::uint64_t{tileCount_} + (description.version == 1 ? 1 : 0);
        if (description.outputLayers.size() > TileMap::kMaxLayers) {
            saveError_.Fail(outputPath, "the RMP format holds at most 255 layers; the map has " +
                                            std::to_string(description.outputLayers.size()));
        } else if (outputTiles > static_cast<std::uint64_t>(Tileset::kFormatLimit)) {
            saveError_.Fail(outputPath,
                            "the RMP format holds at most 65535 tiles; the map needs " + std::to_string(outputTiles));
        } else if (!outputPath.empty()) {
            OpenOutput(outputPath);
        }
        if (output_ != nullptr) {
            // Large blocks: the layers are most of what is written.
            writer_.emplace(*output_, 256 * 1024);
        }
        if (!WriteLayers() || !WriteTileset(outputTiles)) {
            return ConversionResult::ImportFailed;
        }
        if (writer_ && !writer_->Flush()) {
            saveError_.Fail(outputPath, "cannot write the file");
        }
        if (!saveError_.Failed() && output_ != nullptr) {
            (void)CloseRmpOutput(*output_, outputPath, saveError_);
        }
        if (saveError_.Failed()) {
            error_ = saveError_;
            return ConversionResult::SaveFailed;
        }
        return ConversionResult::Converted;
    }

private:
    // Writing over an input would destroy what is being read: that is a
    // failed save, found before anything is written, and the checks go on.
    void OpenOutput(const std::string& outputPath) {
        for (const std::string* input : {&mapPath_, &tilesetPath_}) {
            if (fileSystem_.SameFile(outputPath, *input)) {
                saveError_.Fail(outputPath, "the output is the input " + *input);
                return;
            }
        }
        output_ = fileSystem_.OpenOutput(outputPath, saveError_);
    }

    bool ReadHeaders() {
        mapFile_ = OpenRecorded(fileSystem_, mapPath_, OpenMode::Read, error_);
        if (mapFile_ == nullptr) {
            return false;
        }
        map_.emplace(*mapFile_, mapPath_);
        if (!map_->ReadHeader(error_)) {
            return false;
        }
        tilesetFile_ = OpenRecorded(fileSystem_, tilesetPath_, OpenMode::Read, error_);
        if (tilesetFile_ == nullptr) {
            return false;
        }
        tilesetIn_.emplace(*tilesetFile_);
        TilesetDescription tileset;
        if (!ReadTilesetHeader(*tilesetIn_, tilesetPath_, vsp_, rts_, tileset, error_)) {
            return false;
        }
        tileCount_ = static_cast<std::uint32_t>(tileset.tileCount);
        tileWidth_ = static_cast<std::uint32_t>(tileset.tileWidth);
        tileHeight_ = static_cast<std::uint32_t>(tileset.tileHeight);
        return tileCount_ > 0 || error_.Fail(tilesetPath_, "the tileset has no tiles");
    }

    // Decodes one file layer, checking every cell against the tile count,
    // and, when write is set, writes the cells as the RMP file holds them.
    bool Check(std::size_t fileLayer, bool write) {
        const MapDescription& description = map_->Description();
        CheckedLayer layer(description.fileLayers[fileLayer], mapPath_, tileCount_, error_);
        if (write) {
            // Empty foreground cells point at the transparent tile.
            const bool foreground = description.version == 1 && fileLayer == 1;
            const auto transparent = static_cast<std::uint16_t>(tileCount_);
            layer.WriteTo(*writer_, foreground ? std::optional<std::uint16_t>(transparent) : std::nullopt);
        } else {
            scratch_.resize(2 * kBlockCells);
            layer.DecodeInto(scratch_.data());
        }
        decoded_[fileLayer] = true;
        return map_->Decode(fileLayer, layer, error_) && !layer.Beyond();
    }

    bool WriteLayers() {
        const MapDescription& description = map_->Description();
        decoded_.assign(description.fileLayers.size(), false);
        if (writer_) {
            writer_->Head(RmpHead{description.headerX, description.headerY, description.headerLayer.value_or(0),
                                  description.headerMode.value_or(0), description.outputLayers.size(), 0, 0,
                                  description.linkedFileName, {}, {}, {}});
        }
        for (const std::size_t fileLayer : description.outputLayers) {
            const MapFileLayer& stored = description.fileLayers[fileLayer];
            MapLayer fields;
            fields.SetName(stored.name);
            if (writer_) {
                writer_->BeginLayer(fields, stored.width, stored.height, false);
            }
            if (!Check(fileLayer, writer_.has_value())) {
                return false;
            }
        }
        // Layers the map doesn't get must still read, and name only tiles
        // the tileset has.
        for (std::size_t fileLayer = 0; fileLayer < decoded_.size(); ++fileLayer) {
            if (!decoded_[fileLayer] && !Check(fileLayer, false)) {
                return false;
            }
        }
        return true;
    }

    bool WriteTileset(std::uint64_t outputTiles) {
        BufferedWriter* out = writer_ ? &writer_->Out() : nullptr;
        if (out != nullptr) {
            WriteRtsHeader(*out, static_cast<std::uint32_t>(outputTiles), tileWidth_, tileHeight_);
        }
        const std::uint64_t tileBytes = std::uint64_t{tileWidth_} * tileHeight_ * RgbaImage::kBytesPerPixel;
        if (vsp_) {
            std::uint8_t rgba[VspReader::kTileBytes];
            for (std::size_t i = 0; i < tileCount_; ++i) {
                if (!vsp_->ReadTile(i, rgba, error_)) {
                    return false;
                }
                if (out != nullptr) {
                    out->PutBytes(rgba, sizeof rgba);
                }
            }
        } else {
            const ByteVisitor copy = [out](const std::uint8_t* bytes, std::size_t count) {
                if (out != nullptr) {
                    out->PutBytes(bytes, count);
                }
            };
            for (std::size_t i = 0; i < tileCount_; ++i) {
                if (!rts_->ReadPixels(i, copy, error_)) {
                    return false;
                }
            }
        }
        const bool transparentTile = outputTiles > tileCount_;
        if (out != nullptr && transparentTile) {
            out->PutZeros(static_cast<std::size_t>(tileBytes));
        }
        RtsTileInfo info;
        for (std::size_t i = 0; i < tileCount_; ++i) {
            if (rts_ && !rts_->ReadInfo(i, info, error_)) {
                return false;
            }
            if (out == nullptr) {
                continue;
            }
            WriteRtsInfo(*out, info.infoFlag, info.infoValueA, info.infoValueB,
                         static_cast<std::uint32_t>(info.segments.size()));
            for (const auto& [x1, y1, x2, y2] : info.segments) {
                WriteRtsSegment(*out, x1, y1, x2, y2);
            }
        }
        if (out != nullptr && transparentTile) {
            WriteRtsInfo(*out, false, 0, 0, 0);
        }
        return true;
    }

    const std::string& mapPath_;
    const std::string& tilesetPath_;
    FileSystem& fileSystem_;
    Error& error_;
    Error saveError_;

    std::unique_ptr<File> mapFile_;
    std::optional<MapReader> map_;
    std::vector<bool> decoded_;
    // Where the layers that are not written are decoded.
    std::vector<std::uint8_t> scratch_;

    std::unique_ptr<File> tilesetFile_;
    std::optional<BufferedReader> tilesetIn_;
    std::optional<VspReader> vsp_;
    std::optional<RtsReader> rts_;
    std::uint32_t tileCount_ = 0;
    std::uint32_t tileWidth_ = 0;
    std::uint32_t tileHeight_ = 0;

    std::unique_ptr<File> output_;
    std::optional<RmpWriter> writer_;
};

}  // namespace

ConversionResult ConvertMap(const std::string& mapPath, const std::string& tilesetPath, const std::string& outputPath,
                            FileSystem& fileSystem, Error& error) {
    try {
        StreamingConversion conversion(mapPath, tilesetPath, fileSystem, error);
        return conversion.Run(outputPath);
    } catch (const std::bad_alloc&) {
        error.Fail(mapPath, "out of memory");
        return ConversionResult::ImportFailed;
    }
}

ConversionResult ConvertMapThroughModel(const std::string& mapPath, const std::string& tilesetPath,
                                        const std::string& outputPath, FileSystem& fileSystem, Error& error) {
    TileMap map;
    if (!map.ImportMap(mapPath, tilesetPath, fileSystem, error)) {
        return ConversionResult::ImportFailed;
    }
    if (outputPath.empty()) {
        return map.FitsRmpFormat(outputPath, error) ? ConversionResult::Converted : ConversionResult::SaveFailed;
    }
    for (const std::string* input : {&mapPath, &tilesetPath}) {
        if (fileSystem.SameFile(outputPath, *input)) {
            error.Fail(outputPath, "the output is the input " + *input);
            return ConversionResult::SaveFailed;
        }
    }
    return map.Save(outputPath, fileSystem, error) ? ConversionResult::Converted : ConversionResult::SaveFailed;
}

}  // namespace gridport
