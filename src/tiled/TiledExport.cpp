// The two exports to a Tiled map. An RMP file is read twice, front to back: its outline first (every count and length
// checked, the layers' sizes known), then every byte, which is checked to be one the map gives back and handed on.

#include "tiled/TiledExport.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "rmp/RmpReader.h"
#include "rmp/RmpWriter.h"
#include "tileset/RtsLayout.h"

namespace gridport::tiled {

namespace {

constexpr std::size_t kCellsAtOnce = 32 * 1024;

// The RMP file's second reading, into the writer.
class RmpExport {
public:
    RmpExport(BufferedReader& in, TiledWriter& writer, const MapHead& head) : in_(in), writer_(writer), head_(head) {}

    Expected<void> Run() {
        Expected<void> read = Header();
        for (std::size_t i = 0; read && i < head_.layers.size(); ++i) {
            read = Layer(i);
        }
        for (std::size_t i = 0; read && i < head_.entities; ++i) {
            read = Entity(i);
        }
        for (std::size_t i = 0; read && i < head_.zones; ++i) {
            read = Zone(i);
        }
        if (read) {
            read = Tileset();
        }
        if (read && in_.Remaining() != 0) {
            return in_.Fail(in_.Position(),
                            Counted(in_.Remaining(), "byte follows", "bytes follow") + " the end of the tileset");
        }
        return read;
    }

private:
    // Fails at the first of bytes[from, to) that isn't 0: a byte the writer leaves 0 that the map has no place for.
    Expected<void> Zeros(const std::uint8_t* bytes, std::size_t from, std::size_t to, std::uint64_t start,
                         const std::string& what) const {
        for (std::size_t k = from; k < to; ++k) {
            if (bytes[k] != 0) {
                return Unkept(start + k, "byte " + std::to_string(k) + " of " + what + " is " +
                                             std::to_string(bytes[k]) + ", not 0");
            }
        }
        return Success();
    }
    Error Unkept(std::uint64_t at, const std::string& what) const {
        return in_.Fail(at, what + ": a Tiled map can't give it back");
    }

    // A string; one holding a zero byte is refused, as the writer ends every string at its first.
    Expected<void> Text(std::string& text, const std::string& what) {
        std::uint16_t length = 0;
        if (Expected<void> read = in_.ReadU16(length, what); !read) {
            return read;
        }
        const std::uint64_t start = in_.Position();
        text.assign(length, '\0');
        if (Expected<void> read = in_.Read(text.data(), length, what); !read) {
            return read;
        }
        if (const std::size_t zero = text.find('\0'); zero != std::string::npos) {
            return Unkept(start + zero, what + " holds a zero byte");
        }
        return Success();
    }

    Expected<void> Header() {
        std::uint8_t header[rmp::kHeaderSize];
        Expected<void> read = in_.Read(header, sizeof header, "the header");
        const std::string what = "the header";
        if (read) {
            read = Zeros(header, rmp::kVersionOffset + 2, rmp::kLayerCountOffset, 0, what);
        }
        if (read) {
            read = Zeros(header, rmp::kLayerCountOffset + 1, rmp::kEntityCountOffset, 0, what);
        }
        if (read) {
            read = Zeros(header, rmp::kZoneCountOffset + 2, sizeof header, 0, what);
        }
        std::string text;
        for (std::size_t i = 0; read && i < rmp::kStringCount; ++i) {
            read = Text(text, rmp::kStringNames[i]);
        }
        return read;
    }

    Expected<void> Layer(std::size_t index) {
        const std::string what = "the header of layer " + std::to_string(index);
        const std::uint64_t start = in_.Position();
        std::uint8_t header[rmp::kLayerHeaderSize];
        Expected<void> read = in_.Read(header, sizeof header, what);
        if (!read) {
            return read;
        }
        const std::uint16_t flags = LoadU16(header + rmp::kLayerFlagsOffset);
        if ((flags & ~(rmp::kLayerHidden | rmp::kLayerFactorsOn)) != 0) {
            return Unkept(start + rmp::kLayerFlagsOffset,
                          "the flags of layer " + std::to_string(index) + " are " + std::to_string(flags) +
                              ", bits beyond the first two set");
        }
        if (header[rmp::kLayerAuxFlagOffset] > 1) {
            return Unkept(start + rmp::kLayerAuxFlagOffset, "the aux flag of layer " + std::to_string(index) + " is " +
                                                                 std::to_string(header[rmp::kLayerAuxFlagOffset]));
        }
        if (read = Zeros(header, rmp::kLayerAuxFlagOffset + 1, sizeof header, start, what); !read) {
            return read;
        }
        std::string name;
        if (read = Text(name, "the name of layer " + std::to_string(index)); !read) {
            return read;
        }
        const RmpLayerPlace& layer = head_.layers[index];
        writer_.BeginLayer();
        std::uint8_t* const cells = cells_.data();
        for (std::uint64_t left = std::uint64_t{layer.width} * layer.height; left > 0;) {
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(left, kCellsAtOnce));
            const std::uint64_t at = in_.Position();
            if (read = in_.Read(cells, 2 * count, [&] { return "the cells of layer " + std::to_string(index); });
                !read) {
                return read;
            }
            for (std::size_t k = 0; k < count; ++k) {
                if (const std::uint16_t value = LoadU16(cells + 2 * k); value >= head_.tileCount) {
                    return Unkept(at + 2 * k, "a cell of layer " + std::to_string(index) + " holds tile " +
                                                  std::to_string(value) + "; the tileset has " +
                                                  Counted(head_.tileCount, "tile"));
                }
            }
            writer_.Cells(cells, count);
            left -= count;
        }
        const std::uint32_t segments = LoadU32(header + rmp::kLayerSegmentCountOffset);
        for (std::uint32_t k = 0; k < segments; ++k) {
            std::uint8_t record[rmp::kSegmentSize];
            if (read = in_.Read(record, sizeof record, "a segment of layer " + std::to_string(index)); !read) {
                return read;
            }
            writer_.LayerSegment({static_cast<std::int32_t>(LoadU32(record)), static_cast<std::int32_t>(LoadU32(record + 4)),
                                  static_cast<std::int32_t>(LoadU32(record + 8)),
                                  static_cast<std::int32_t>(LoadU32(record + 12))});
        }
        writer_.EndLayer();
        return Success();
    }

    Expected<void> Entity(std::size_t index) {
        const std::string what = "entity " + std::to_string(index);
        const std::uint64_t start = in_.Position();
        std::uint8_t header[rmp::kRecordHeaderSize];
        Expected<void> read = in_.Read(header, sizeof header, "the header of " + what);
        if (read) {
            read = Zeros(header, rmp::kEntityTypeOffset + 2, sizeof header, start, "the header of " + what);
        }
        if (!read) {
            return read;
        }
        EntityRecord entity;
        entity.x = LoadU16(header + rmp::kEntityXOffset);
        entity.y = LoadU16(header + rmp::kEntityYOffset);
        entity.layer = LoadU16(header + rmp::kEntityLayerOffset);
        entity.kind = rmp::EntityKind(LoadU16(header + rmp::kEntityTypeOffset));
        if (entity.kind == 3) {
            read = Text(entity.texts[0], "the text of " + what);
        } else if (entity.kind == 2) {
            read = Text(entity.texts[0], "the first text of " + what);
            if (read) {
                read = Text(entity.texts[1], "the second text of " + what);
            }
            std::uint16_t count = 0;
            if (read) {
                read = in_.ReadU16(count, "the string count of " + what);
            }
            for (std::size_t k = 2; read && k < entity.texts.size(); ++k) {
                read = Text(entity.texts[k], "a list string of " + what);
            }
            const std::uint64_t trailer = in_.Position();
            std::uint8_t closing[rmp::kEntityTrailerSize];
            if (read) {
                read = in_.Read(closing, sizeof closing, "the closing bytes of " + what);
            }
            if (read) {
                read = Zeros(closing, 0, sizeof closing, trailer, "the closing bytes of " + what);
            }
        }
        if (read) {
            writer_.Entity(entity);
        }
        return read;
    }

    Expected<void> Zone(std::size_t index) {
        const std::string what = "the header of zone " + std::to_string(index);
        const std::uint64_t start = in_.Position();
        std::uint8_t header[rmp::kRecordHeaderSize];
        Expected<void> read = in_.Read(header, sizeof header, what);
        if (read) {
            read = Zeros(header, 2 * rmp::kZoneValueCount, sizeof header, start, what);
        }
        ZoneRecord zone;
        if (read) {
            read = Text(zone.text, "the text of zone " + std::to_string(index));
        }
        if (!read) {
            return read;
        }
        for (std::size_t k = 0; k < rmp::kZoneValueCount; ++k) {
            zone.values[k] = LoadU16(header + 2 * k);
        }
        writer_.Zone(zone);
        return Success();
    }

    Expected<void> Tileset() {
        if (Expected<void> skip = in_.Skip(rts::kHeaderSize, "the tileset's header"); !skip) {
            return skip;
        }
        const std::uint64_t tileBytes = std::uint64_t{head_.tileWidth} * head_.tileHeight * 4;
        if (Expected<void> need = in_.Need(tileBytes * head_.tileCount, "the tileset's pixels"); !need) {
            return need;
        }
        for (std::uint64_t left = tileBytes * head_.tileCount; left > 0;) {
            if (Expected<void> filled = in_.Fill("the tileset's pixels"); !filled) {
                return filled;
            }
            const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, in_.BufferedSize()));
            writer_.Pixels(in_.BufferedData(), piece);
            in_.Take(piece);
            left -= piece;
        }
        RtsTileInfo info;
        for (std::uint32_t tile = 0; tile < head_.tileCount; ++tile) {
            if (Expected<void> read = Info(tile, info); !read) {
                return read;
            }
            writer_.TileInfo(info);
        }
        return Success();
    }

    // A tile's information block as gridport writes it: a flag of 0 or 1, two values, its segments as a list.
    Expected<void> Info(std::uint32_t tile, RtsTileInfo& info) {
        const std::string what = "the information block of tile " + std::to_string(tile);
        const std::uint64_t start = in_.Position();
        std::uint8_t block[rts::kInfoBlockSize];
        Expected<void> read = in_.Read(block, sizeof block, what);
        if (read) {
            read = Zeros(block, 0, rts::kInfoFlagOffset, start, what);
        }
        if (read && block[rts::kInfoFlagOffset] > 1) {
            return Unkept(start + rts::kInfoFlagOffset, "the information flag of tile " + std::to_string(tile) +
                                                           " is " + std::to_string(block[rts::kInfoFlagOffset]));
        }
        if (read) {
            read = Zeros(block, rts::kInfoValueBOffset + 2, rts::kSegmentTypeOffset, start, what);
        }
        if (read && block[rts::kSegmentTypeOffset] != rts::kSegmentsAsList) {
            return Unkept(start + rts::kSegmentTypeOffset,
                          "the segments of tile " + std::to_string(tile) + " are of type " +
                              std::to_string(block[rts::kSegmentTypeOffset]) + ", not a list (type " +
                              std::to_string(rts::kSegmentsAsList) + ")");
        }
        if (read) {
            read = Zeros(block, rts::kSegmentCountOffset + 2, sizeof block, start, what);
        }
        if (!read) {
            return read;
        }
        info.infoFlag = block[rts::kInfoFlagOffset] != 0;
        info.infoValueA = LoadU16(block + rts::kInfoValueAOffset);
        info.infoValueB = LoadU16(block + rts::kInfoValueBOffset);
        const std::uint16_t count = LoadU16(block + rts::kSegmentCountOffset);
        const std::string segments = "the segment list of tile " + std::to_string(tile);
        if (read = in_.Need(std::uint64_t{count} * rts::kSegmentRecordSize, segments); !read) {
            return read;
        }
        info.segments.resize(count);
        for (std::array<std::uint16_t, 4>& segment : info.segments) {
            std::uint8_t record[rts::kSegmentRecordSize];
            if (read = in_.Read(record, sizeof record, segments); !read) {
                return read;
            }
            segment = {LoadU16(record), LoadU16(record + 2), LoadU16(record + 4), LoadU16(record + 6)};
        }
        return Success();
    }

    BufferedReader& in_;
    TiledWriter& writer_;
    const MapHead& head_;
    std::vector<std::uint8_t> cells_ = std::vector<std::uint8_t>(2 * kCellsAtOnce);
};

// The embedded tileset's header as gridport writes it; the tile size and count go into head.
Expected<void> ReadTilesetHead(BufferedReader& in, MapHead& head) {
    const std::uint64_t start = in.Position();
    std::uint8_t header[rts::kHeaderSize];
    if (Expected<void> read = in.Read(header, sizeof header, "the tileset's header"); !read) {
        return read;
    }
    const auto unkept = [&](std::size_t at, const std::string& what) {
        return in.Fail(start + at, what + ": a Tiled map can't give it back");
    };
    if (std::memcmp(header, rts::kSignature, sizeof rts::kSignature) != 0) {
        return in.Fail(start, "the tileset does not start with \".rts\"");
    }
    if (LoadU16(header + rts::kVersionOffset) != rts::kVersion) {
        return in.Fail(start + rts::kVersionOffset, "the tileset's version is " +
                                                        std::to_string(LoadU16(header + rts::kVersionOffset)));
    }
    if (LoadU16(header + rts::kBitsOffset) != rts::kBitsPerPixel) {
        return in.Fail(start + rts::kBitsOffset, "the tileset's pixels are of " +
                                                     std::to_string(LoadU16(header + rts::kBitsOffset)) + " bits");
    }
    if (header[rts::kSegmentFlagOffset] != 1) {
        return unkept(rts::kSegmentFlagOffset,
                      "the tileset's segment-data flag is " + std::to_string(header[rts::kSegmentFlagOffset]));
    }
    for (std::size_t k = rts::kBitsOffset + 2; k < sizeof header; ++k) {
        if (k != rts::kSegmentFlagOffset && header[k] != 0) {
            return unkept(k, "byte " + std::to_string(k) + " of the tileset's header is " +
                                 std::to_string(header[k]) + ", not 0");
        }
    }
    head.tileCount = LoadU16(header + rts::kCountOffset);
    head.tileWidth = LoadU16(header + rts::kWidthOffset);
    head.tileHeight = LoadU16(header + rts::kHeightOffset);
    if (head.tileCount == 0) {
        return in.Fail(start + rts::kCountOffset, "the tileset has no tiles; a Tiled tileset needs one");
    }
    if (head.tileWidth == 0 || head.tileHeight == 0) {
        return in.Fail(start + (head.tileWidth == 0 ? rts::kWidthOffset : rts::kHeightOffset),
                       "the tiles are " + std::to_string(head.tileWidth) + " x " + std::to_string(head.tileHeight) +
                           " pixels; a Tiled tile needs at least one");
    }
    return Success();
}

}  // namespace

Expected<void> ExportRmp(File& file, const std::string& path, const std::string& map, FileSystem& fileSystem) {
    const ExportPaths paths = PathsFor(map);
    if (Expected<void> outputs = CheckOutputs(paths, {path}, fileSystem); !outputs) {
        return outputs;
    }
    MapHead head;
    {
        BufferedReader in(file, path);
        Expected<RmpOutline> outline = ReadRmpOutline(in);
        if (!outline) {
            return outline.error();
        }
        if (Expected<void> tileset = ReadTilesetHead(in, head); !tileset) {
            return tileset;
        }
        static_cast<RmpOutline&>(head) = std::move(*outline);
    }
    if (Expected<void> start = file.Seek(0); !start) {
        return start;
    }
    TiledWriter writer(paths, fileSystem);
    if (Expected<void> begun = writer.Begin(head); !begun) {
        return Error(begun.error().Kind(), path, begun.error().Message());
    }
    BufferedReader in(file, path);
    if (Expected<void> read = RmpExport(in, writer, head).Run(); !read) {
        return read;
    }
    return writer.Commit();
}

// A converted layer's cells, with the version-1 foreground's empty cells pointed at the transparent tile as gridport
// writes them.
class TiledOutput::Cells final : public CellSink {
public:
    explicit Cells(TiledWriter& writer) : writer_(writer) {}

    void Start(std::optional<std::uint16_t> emptyAs) { emptyAs_ = emptyAs; }

    std::uint8_t* Block() override { return block_.data(); }
    void Filled(std::size_t count, std::uint16_t) override {
        if (emptyAs_) {
            for (std::size_t k = 0; k < count; ++k) {
                if (LoadU16(block_.data() + 2 * k) == 0) {
                    StoreU16(block_.data() + 2 * k, *emptyAs_);
                }
            }
        }
        writer_.Cells(block_.data(), count);
    }

private:
    TiledWriter& writer_;
    std::optional<std::uint16_t> emptyAs_;
    std::vector<std::uint8_t> block_ = std::vector<std::uint8_t>(2 * kBlockCells);
};

TiledOutput::TiledOutput(const std::string& map, FileSystem& fileSystem, std::string mapPath, std::string tilesetPath)
    : TiledOutput(PathsFor(map), fileSystem, std::move(mapPath), std::move(tilesetPath)) {}

TiledOutput::TiledOutput(ExportPaths paths, FileSystem& fileSystem, std::string mapPath, std::string tilesetPath)
    : paths_(std::move(paths)), fileSystem_(fileSystem), inputs_{std::move(mapPath), std::move(tilesetPath)} {}

TiledOutput::~TiledOutput() = default;

void TiledOutput::Begin(const MapDescription& map, const TilesetHeader* tileset) {
    map_ = &map;
    if (tileset == nullptr) {
        return;
    }
    tileset_ = *tileset;
    if (Expected<void> fits = CheckRmpLimits(map, *tileset, paths_.map); !fits) {
        failure_ = fits.error();
        return;
    }
    if (Expected<void> outputs = CheckOutputs(paths_, {inputs_[0], inputs_[1]}, fileSystem_); !outputs) {
        failure_ = outputs.error();
        return;
    }
    // The values gridport's RMP file holds: the header's narrowed, the one string it fills.
    MapHead head;
    head.headerX = static_cast<std::uint16_t>(map.headerX);
    head.headerY = static_cast<std::uint16_t>(map.headerY);
    head.headerLayer = static_cast<std::uint8_t>(map.headerLayer.value_or(0));
    head.headerMode = static_cast<std::uint8_t>(map.headerMode.value_or(0));
    head.strings[rmp::kLinkedFileString] = std::string(StoredString(map.linkedFileName));
    for (const std::size_t fileLayer : map.outputLayers) {
        const MapFileLayer& layer = map.fileLayers[fileLayer];
        RmpLayerPlace place;
        place.name = std::string(StoredString(layer.name));
        place.width = layer.width;
        place.height = layer.height;
        head.layers.push_back(std::move(place));
    }
    head.tileWidth = static_cast<std::uint16_t>(tileset->tileWidth);
    head.tileHeight = static_cast<std::uint16_t>(tileset->tileHeight);
    head.tileCount = static_cast<std::uint32_t>(OutputTileCount(map, *tileset));
    writer_ = std::make_unique<TiledWriter>(paths_, fileSystem_);
    if (Expected<void> begun = writer_->Begin(head); !begun) {
        failure_ = begun.error();
        writer_.reset();
        return;
    }
    cells_ = std::make_unique<Cells>(*writer_);
}

CellSink* TiledOutput::Layer(std::size_t index, const MapFileLayer&) {
    if (writer_ == nullptr) {
        return nullptr;
    }
    writer_->BeginLayer();
    const bool foreground = map_->ZeroIsEmpty(map_->outputLayers[index]);
    cells_->Start(foreground ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(tileset_.tileCount))
                             : std::nullopt);
    return cells_.get();
}

void TiledOutput::LayerDone(std::size_t, std::uint16_t) {
    if (writer_ != nullptr) {
        writer_->EndLayer();
    }
}

void TiledOutput::TilePixels(const std::uint8_t* bytes, std::size_t count) {
    if (writer_ != nullptr) {
        writer_->Pixels(bytes, count);
    }
}

void TiledOutput::PixelsDone() {
    if (writer_ != nullptr && OutputTileCount(*map_, tileset_) > tileset_.tileCount) {
        const std::vector<std::uint8_t> clear(static_cast<std::size_t>(tileset_.TileBytes()));
        writer_->Pixels(clear.data(), clear.size());
    }
}

void TiledOutput::TileInfo(const RtsTileInfo& info) {
    if (writer_ == nullptr) {
        return;
    }
    writer_->TileInfo(info);
    if (++infos_ == tileset_.tileCount && OutputTileCount(*map_, tileset_) > tileset_.tileCount) {
        writer_->TileInfo(RtsTileInfo{});
    }
}

Expected<void> TiledOutput::Commit() {
    if (failure_) {
        return *failure_;
    }
    if (writer_ == nullptr) {
        return Error(paths_.map, "nothing was converted");
    }
    return writer_->Commit();
}

}  // namespace gridport::tiled
