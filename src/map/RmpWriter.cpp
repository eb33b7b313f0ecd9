// The RMP map file: a 256-byte header, nine strings, the layers, the
// entities, the zones, and the tileset as a complete RTS tileset file.

#include "map/RmpWriter.h"

#include <new>

#include "filesystem/ByteOrder.h"
#include "map/RmpLayout.h"
#include "map/TileMap.h"
#include "map/WriteString.h"

namespace gridport {

namespace {

using namespace rmp;

// Record types of the entity header, by kind.
std::uint16_t EntityRecordType(std::int32_t kind) {
    switch (kind) {
        case 2:
            return 1;
        case 3:
            return 2;
        default:
            return 0;
    }
}

}  // namespace

void WriteString(BufferedWriter& out, std::string_view text) {
    text = text.substr(0, text.find('\0'));
    const std::size_t length = text.size() % 65536;
    out.PutU16(static_cast<std::uint32_t>(length));
    out.PutBytes(text.data(), length);
}

bool WriteString(File& file, std::string_view text) {
    try {
        BufferedWriter out(file, 256);
        WriteString(out, text);
        return out.Flush();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void RmpWriter::Head(const RmpHead& head) {
    std::uint8_t header[kHeaderSize] = {kSignature[0], kSignature[1], kSignature[2], kSignature[3]};
    StoreU16(header + kVersionOffset, kVersion);
    header[kLayerCountOffset] = static_cast<std::uint8_t>(head.layerCount);
    StoreU16(header + kEntityCountOffset, static_cast<std::uint32_t>(head.entityCount));
    StoreU16(header + kHeaderXOffset, static_cast<std::uint32_t>(head.headerX));
    StoreU16(header + kHeaderYOffset, static_cast<std::uint32_t>(head.headerY));
    header[kHeaderLayerOffset] = static_cast<std::uint8_t>(head.headerLayer);
    header[kHeaderModeOffset] = static_cast<std::uint8_t>(head.headerMode);
    StoreU16(header + kStringCountOffset, kStringCount);
    StoreU16(header + kZoneCountOffset, static_cast<std::uint32_t>(head.zoneCount));
    out_.PutBytes(header, sizeof header);
    WriteString(out_, {});
    WriteString(out_, head.linkedFileName);
    WriteString(out_, {});
    WriteString(out_, head.textA);
    WriteString(out_, head.textB);
    for (const std::string_view text : head.textList) {
        WriteString(out_, text);
    }
}

void RmpWriter::BeginLayer(const MapLayer& fields, std::int32_t width, std::int32_t height, bool headerLayer) {
    const bool factorsOn = fields.factorsEnabled && !headerLayer;
    std::uint8_t header[kLayerHeaderSize] = {};
    StoreU16(header + kLayerWidthOffset, static_cast<std::uint32_t>(width));
    StoreU16(header + kLayerHeightOffset, static_cast<std::uint32_t>(height));
    StoreU16(header + kLayerFlagsOffset, (fields.showFlag ? 0U : kLayerHidden) | (factorsOn ? kLayerFactorsOn : 0U));
    StoreF32(header + kLayerFactorXOffset, fields.factorX);
    StoreF32(header + kLayerFactorYOffset, fields.factorY);
    StoreF32(header + kLayerRateXOffset, fields.rateX);
    StoreF32(header + kLayerRateYOffset, fields.rateY);
    StoreU32(header + kLayerSegmentCountOffset, static_cast<std::uint32_t>(fields.segments.Count()));
    header[kLayerAuxFlagOffset] = fields.auxFlag ? 1 : 0;
    out_.PutBytes(header, sizeof header);
    WriteString(out_, fields.name);
}

void RmpWriter::EndLayer(const MapLayer& fields) {
    for (std::int32_t k = 0; k < fields.segments.Count(); ++k) {
        const Segment& segment = fields.segments.At(k);
        out_.PutU32(static_cast<std::uint32_t>(segment.x1));
        out_.PutU32(static_cast<std::uint32_t>(segment.y1));
        out_.PutU32(static_cast<std::uint32_t>(segment.x2));
        out_.PutU32(static_cast<std::uint32_t>(segment.y2));
    }
}

void RmpWriter::Entity(const MapEntity& entity) {
    std::uint8_t header[kRecordHeaderSize] = {};
    StoreU16(header + kEntityXOffset, static_cast<std::uint32_t>(entity.x));
    StoreU16(header + kEntityYOffset, static_cast<std::uint32_t>(entity.y));
    StoreU16(header + kEntityLayerOffset, static_cast<std::uint32_t>(entity.layer));
    StoreU16(header + kEntityTypeOffset, EntityRecordType(entity.kind));
    out_.PutBytes(header, sizeof header);
    if (entity.kind == 2) {
        WriteString(out_, entity.textA);
        WriteString(out_, entity.textB);
        out_.PutU16(kEntityStringCount);
        for (const std::string& text : entity.textList) {
            WriteString(out_, text);
        }
        out_.PutZeros(kEntityTrailerSize);
    } else if (entity.kind == 3) {
        WriteString(out_, entity.textA);
    }
}

void RmpWriter::Zone(const MapZone& zone) {
    std::uint8_t header[kRecordHeaderSize] = {};
    const std::int32_t values[kZoneValueCount] = {zone.x1, zone.y1, zone.x2, zone.y2, zone.layer, zone.auxValue};
    for (std::size_t i = 0; i < kZoneValueCount; ++i) {
        StoreU16(header + 2 * i, static_cast<std::uint32_t>(values[i]));
    }
    out_.PutBytes(header, sizeof header);
    WriteString(out_, zone.text);
}

bool CloseRmpOutput(File& file, const std::string& path, Error& error) {
    return file.Close() || error.Fail(path, "cannot finish writing the file");
}

bool TileMap::FitsRmpFormat(const std::string& path, Error& error) const {
    if (layers.size() > kMaxLayers) {
        return error.Fail(path, "the RMP format holds at most 255 layers; the map has " +
                                    std::to_string(layers.size()));
    }
    if (entities.size() > kMaxRecords || zones.size() > kMaxRecords) {
        return error.Fail(path, "the RMP format holds at most 65535 entities and 65535 zones; the map has " +
                                    std::to_string(entities.size()) + " and " + std::to_string(zones.size()));
    }
    for (const MapLayer& layer : layers) {
        if (layer.width < 0 || layer.width > kMaxLayerSide || layer.height < 0 || layer.height > kMaxLayerSide ||
            layer.tiles.size() != static_cast<std::size_t>(layer.width) * static_cast<std::size_t>(layer.height)) {
            return error.Fail(path, "the RMP format holds layers of at most 65535 x 65535 cells; layer \"" +
                                        layer.name + "\" is " + std::to_string(layer.width) + " x " +
                                        std::to_string(layer.height) + " with " +
                                        std::to_string(layer.tiles.size()) + " cells");
        }
    }
    return tileset.FitsRtsFormat(path, error);
}

bool TileMap::FitsRmpFormat() const {
    Error ignored;
    return FitsRmpFormat({}, ignored);
}

bool TileMap::Save(const std::string& path, FileSystem& fileSystem) const {
    Error ignored;
    return Save(path, fileSystem, ignored);
}

bool TileMap::Save(const std::string& path, FileSystem& fileSystem, Error& error) const {
    if (!FitsRmpFormat(path, error)) {
        return false;
    }
    const std::unique_ptr<File> file = fileSystem.OpenOutput(path, error);
    if (file == nullptr) {
        return false;
    }
    try {
        RmpWriter writer(*file);
        const RmpHead head{headerX, headerY, headerLayer, headerMode, layers.size(), entities.size(), zones.size(),
                           linkedFileName, textA, textB, {textList[0], textList[1], textList[2], textList[3]}};
        writer.Head(head);
        for (std::size_t i = 0; i < layers.size(); ++i) {
            const MapLayer& layer = layers[i];
            // headerLayer may name no layer at all (a version-2 "E" can name
            // a file layer that never reached the map).
            writer.BeginLayer(layer, layer.width, layer.height, static_cast<std::int64_t>(i) == headerLayer);
            writer.PutCells(layer.tiles.data(), layer.tiles.size());
            writer.EndLayer(layer);
        }
        for (const MapEntity& entity : entities) {
            writer.Entity(entity);
        }
        for (const MapZone& zone : zones) {
            writer.Zone(zone);
        }
        if (!writer.Flush() || !tileset.Save(*file)) {
            return error.Fail(path, "cannot write the file");
        }
    } catch (const std::bad_alloc&) {
        return error.Fail(path, "out of memory while writing");
    }
    return CloseRmpOutput(*file, path, error);
}

}  // namespace gridport
