// The RMP map file: a 256-byte header, nine strings, the layers, the
// entities, the zones, and the tileset as a complete RTS tileset file.

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

void WriteHeader(BufferedWriter& out, const TileMap& map) {
    std::uint8_t header[kHeaderSize] = {kSignature[0], kSignature[1], kSignature[2], kSignature[3]};
    StoreU16(header + 4, kVersion);
    header[7] = static_cast<std::uint8_t>(map.layers.size());
    StoreU16(header + 9, static_cast<std::uint32_t>(map.entities.size()));
    StoreU16(header + 11, static_cast<std::uint32_t>(map.headerX));
    StoreU16(header + 13, static_cast<std::uint32_t>(map.headerY));
    header[15] = static_cast<std::uint8_t>(map.headerLayer);
    header[16] = static_cast<std::uint8_t>(map.headerMode);
    StoreU16(header + 17, kStringCount);
    StoreU16(header + 19, static_cast<std::uint32_t>(map.zones.size()));
    out.PutBytes(header, sizeof header);
}

void WriteStrings(BufferedWriter& out, const TileMap& map) {
    WriteString(out, {});
    WriteString(out, map.linkedFileName);
    WriteString(out, {});
    WriteString(out, map.textA);
    WriteString(out, map.textB);
    for (const std::string& text : map.textList) {
        WriteString(out, text);
    }
}

void WriteLayer(BufferedWriter& out, const MapLayer& layer) {
    std::uint8_t header[kLayerHeaderSize] = {};
    StoreU16(header, static_cast<std::uint32_t>(layer.width));
    StoreU16(header + 2, static_cast<std::uint32_t>(layer.height));
    StoreU16(header + 4, (layer.showFlag ? 0U : 1U) | (layer.factorsEnabled ? 2U : 0U));
    StoreF32(header + 6, layer.factorX);
    StoreF32(header + 10, layer.factorY);
    StoreF32(header + 14, layer.rateX);
    StoreF32(header + 18, layer.rateY);
    StoreU32(header + 22, static_cast<std::uint32_t>(layer.segments.Count()));
    header[26] = layer.auxFlag ? 1 : 0;
    out.PutBytes(header, sizeof header);
    WriteString(out, layer.name);
    out.PutLow16(layer.tiles.data(), layer.tiles.size());
    for (std::int32_t k = 0; k < layer.segments.Count(); ++k) {
        const Segment& segment = layer.segments.At(k);
        out.PutU32(static_cast<std::uint32_t>(segment.x1));
        out.PutU32(static_cast<std::uint32_t>(segment.y1));
        out.PutU32(static_cast<std::uint32_t>(segment.x2));
        out.PutU32(static_cast<std::uint32_t>(segment.y2));
    }
}

void WriteEntity(BufferedWriter& out, const MapEntity& entity) {
    std::uint8_t header[kRecordHeaderSize] = {};
    StoreU16(header, static_cast<std::uint32_t>(entity.x));
    StoreU16(header + 2, static_cast<std::uint32_t>(entity.y));
    StoreU16(header + 4, static_cast<std::uint32_t>(entity.layer));
    StoreU16(header + 6, EntityRecordType(entity.kind));
    out.PutBytes(header, sizeof header);
    if (entity.kind == 2) {
        WriteString(out, entity.textA);
        WriteString(out, entity.textB);
        out.PutU16(kEntityStringCount);
        for (const std::string& text : entity.textList) {
            WriteString(out, text);
        }
        out.PutZeros(kEntityTrailerSize);
    } else if (entity.kind == 3) {
        WriteString(out, entity.textA);
    }
}

void WriteZone(BufferedWriter& out, const MapZone& zone) {
    std::uint8_t header[kRecordHeaderSize] = {};
    StoreU16(header, static_cast<std::uint32_t>(zone.x1));
    StoreU16(header + 2, static_cast<std::uint32_t>(zone.y1));
    StoreU16(header + 4, static_cast<std::uint32_t>(zone.x2));
    StoreU16(header + 6, static_cast<std::uint32_t>(zone.y2));
    StoreU16(header + 8, static_cast<std::uint32_t>(zone.layer));
    StoreU16(header + 10, static_cast<std::uint32_t>(zone.auxValue));
    out.PutBytes(header, sizeof header);
    WriteString(out, zone.text);
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

bool TileMap::FitsRmpFormat() const {
    if (layers.size() > kMaxLayers || entities.size() > kMaxRecords || zones.size() > kMaxRecords) {
        return false;
    }
    for (const MapLayer& layer : layers) {
        if (layer.width < 0 || layer.width > kMaxLayerSide || layer.height < 0 || layer.height > kMaxLayerSide ||
            layer.tiles.size() != static_cast<std::size_t>(layer.width) * static_cast<std::size_t>(layer.height)) {
            return false;
        }
    }
    return tileset.FitsRtsFormat();
}

bool TileMap::Save(const std::string& path, FileSystem& fileSystem) {
    // The header layer is written with its factors off. headerLayer may name
    // no layer at all (a version-2 "E" can name a file layer that never
    // reached the map); then there is nothing to change.
    if (headerLayer >= 0 && static_cast<std::size_t>(headerLayer) < layers.size()) {
        layers[static_cast<std::size_t>(headerLayer)].factorsEnabled = false;
    }
    if (!FitsRmpFormat()) {
        return false;
    }
    Error error;
    const std::unique_ptr<File> file = fileSystem.OpenOutput(path, error);
    if (file == nullptr) {
        return false;
    }
    bool written = false;
    try {
        BufferedWriter out(*file);
        WriteHeader(out, *this);
        WriteStrings(out, *this);
        for (const MapLayer& layer : layers) {
            WriteLayer(out, layer);
        }
        for (const MapEntity& entity : entities) {
            WriteEntity(out, entity);
        }
        for (const MapZone& zone : zones) {
            WriteZone(out, zone);
        }
        written = out.Flush() && tileset.Save(*file);
    } catch (const std::bad_alloc&) {
        written = false;
    }
    // Only a complete file replaces the old one; otherwise it is discarded.
    return written && file->Close();
}

}  // namespace gridport
