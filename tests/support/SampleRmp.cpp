#include "support/SampleRmp.h"

#include "support/Conversion.h"
#include "support/MemoryFileSystem.h"

namespace gridport::test {

namespace {

// Converted by gridport's own conversion; the map it came from is not kept.
SampleRmp Converted(std::string name, const Bytes& mapBytes, const Bytes& tilesetBytes,
                    const std::string& tilesetPath) {
    SampleRmp sample{std::move(name), nullptr, {}};
    Convert(mapBytes, tilesetBytes, tilesetPath, &sample.bytes);
    return sample;
}

// The low 16 bits of a value, as the RMP file narrows it.
std::uint16_t Low16(std::int32_t value) {
    return static_cast<std::uint16_t>(value);
}

Bytes EntityRecords(const std::vector<MapEntity>& entities) {
    ByteBuilder out;
    for (const MapEntity& entity : entities) {
        const std::uint16_t type = entity.kind == 2 ? 1 : entity.kind == 3 ? 2 : 0;
        out.U16(Low16(entity.x)).U16(Low16(entity.y)).U16(Low16(entity.layer)).U16(type).Zeros(8);
        if (type == 1) {
            out.String(entity.textA).String(entity.textB).U16(5);
            for (const std::string& text : entity.textList) {
                out.String(text);
            }
            out.Zeros(16);
        } else if (type == 2) {
            out.String(entity.textA);
        }
    }
    return out.bytes;
}

Bytes ZoneRecords(const std::vector<MapZone>& zones) {
    ByteBuilder out;
    for (const MapZone& zone : zones) {
        for (const std::int32_t value : {zone.x1, zone.y1, zone.x2, zone.y2, zone.layer, zone.auxValue}) {
            out.U16(Low16(value));
        }
        out.Zeros(4).String(zone.text);
    }
    return out.bytes;
}

SampleRmp VersionOne() {
    MapV1File file;
    file.text = "sample.vsp";
    file.headerX = 3;
    file.headerY = 1;
    file.width = 5;
    file.height = 3;
    for (std::uint16_t i = 0; i < 15; ++i) {
        file.background.push_back(i % 4);
        file.foreground.push_back(i % 3 == 0 ? 0 : 1 + i % 2);
    }
    return Converted("version-1 map, VSP tileset", file.Build(), PatternVsp(4).Build(), "tiles.vsp");
}

SampleRmp VersionTwo() {
    MapV2File file;
    file.text = "sample.rts";
    file.order = "21E3";
    file.headerX = 0xFFFF;
    file.layers = {MapV2Layer{4, 2, {0, 1, 2, 3, 3, 3, 3, 2}, {}},
                   MapV2Layer{4, 2, std::vector<std::uint16_t>(8, 1), {}}, MapV2Layer{2, 3, {2, 2, 2, 0, 1, 2}, {}}};
    RtsFile tiles = PatternRts(4, 8, 4);
    tiles.tiles[1].infoFlag = 1;
    tiles.tiles[1].infoValueA = 0xFFFF;
    tiles.tiles[1].infoValueB = 7;
    tiles.tiles[2].segments = {{0, 0, 8, 0}, {0xFFFF, 4, 8, 4}};
    return Converted("version-2 map, RTS tileset", file.Build(), tiles.Build(), "tiles.rts");
}

SampleRmp BuiltInMemory() {
    SampleRmp sample{"map with entities and zones", std::make_unique<TileMap>(), {}};
    TileMap& map = *sample.map;
    map.headerX = -2;
    map.headerY = 70000;
    map.headerLayer = 1;
    map.headerMode = 300;
    map.linkedFileName = "linked.vsp";
    map.textA = "A";
    map.textB = "B text";
    map.textList = {"one", "", "three", "four"};
    MapLayer layer;
    layer.name = "ground";
    layer.width = 3;
    layer.height = 2;
    layer.tiles = {0, 1, 65536 + 2, 1, 5, 2};
    layer.showFlag = false;
    layer.factorsEnabled = true;
    layer.auxFlag = true;
    layer.factorX = 0.25F;
    layer.rateY = -3.5F;
    layer.segments.push_back(Segment{-1, 2, 70000, -70000});
    map.layers.push_back(layer);
    layer.name = "top";
    layer.showFlag = true;
    map.layers.push_back(layer);
    map.entities.resize(4);
    for (std::size_t i = 0; i < map.entities.size(); ++i) {
        MapEntity& entity = map.entities[i];
        entity.x = static_cast<std::int32_t>(i) - 1;
        entity.y = 65536 + static_cast<std::int32_t>(i);
        entity.layer = 1;
        entity.kind = static_cast<std::int32_t>(i) + 1;  // kinds 1 to 4: record types 0, 1, 2, 0
        entity.textA = "a" + std::to_string(i);
        entity.textB = "b" + std::to_string(i);
        entity.textList = {"l0", "", "l2", "l3", "l4"};
    }
    map.zones = {MapZone{1, 2, 3, 4, 5, 6, "zone"}, MapZone{-1, 0, 70000, 0, 0, 0, ""}};
    map.tileset.tileWidth = 2;
    map.tileset.tileHeight = 3;
    map.tileset.tiles.assign(3, Tile{RgbaImage(2, 3), false, 0, 0, {}});
    map.tileset.tiles[0].image.pixels[5] = 9;
    map.tileset.tiles[1].infoValueA = -1;
    map.tileset.tiles[1].infoValueB = 65536 + 5;
    map.tileset.tiles[2].segments.push_back(Segment{-1, 0, 70000, 5});
    sample.bytes = SaveToMemory(map);
    return sample;
}

}  // namespace

Bytes SaveToMemory(const TileMap& map) {
    RmpFile file;
    file.headerX = Low16(map.headerX);
    file.headerY = Low16(map.headerY);
    file.headerLayer = static_cast<std::uint8_t>(map.headerLayer);
    file.headerMode = static_cast<std::uint8_t>(map.headerMode);
    file.linkedFileName = map.linkedFileName;
    file.textA = map.textA;
    file.textB = map.textB;
    file.textList = map.textList;
    for (const MapLayer& layer : map.layers) {
        RmpLayer out;
        out.width = Low16(layer.width);
        out.height = Low16(layer.height);
        out.flags = static_cast<std::uint16_t>((layer.showFlag ? 0 : 1) | (layer.factorsEnabled ? 2 : 0));
        out.factorX = layer.factorX;
        out.factorY = layer.factorY;
        out.rateX = layer.rateX;
        out.rateY = layer.rateY;
        out.auxFlag = layer.auxFlag ? 1 : 0;
        out.name = layer.name;
        for (const std::uint32_t cell : layer.tiles) {
            out.cells.push_back(static_cast<std::uint16_t>(cell));
        }
        for (std::size_t k = 0; k < layer.segments.size(); ++k) {
            const Segment& segment = layer.segments[k];
            out.segments.push_back({segment.x1, segment.y1, segment.x2, segment.y2});
        }
        file.layers.push_back(out);
    }
    file.entityCount = static_cast<std::uint16_t>(map.entities.size());
    file.entityRecords = EntityRecords(map.entities);
    file.zoneCount = static_cast<std::uint16_t>(map.zones.size());
    file.zoneRecords = ZoneRecords(map.zones);
    RtsFile tileset;
    tileset.tileWidth = Low16(map.tileset.tileWidth);
    tileset.tileHeight = Low16(map.tileset.tileHeight);
    for (const Tile& tile : map.tileset.tiles) {
        RtsTile out{tile.image.pixels, static_cast<std::uint8_t>(tile.infoFlag ? 1 : 0), Low16(tile.infoValueA),
                    Low16(tile.infoValueB), 2, {}, {}};
        for (std::size_t k = 0; k < tile.segments.size(); ++k) {
            const Segment& segment = tile.segments[k];
            out.segments.push_back({Low16(segment.x1), Low16(segment.y1), Low16(segment.x2), Low16(segment.y2)});
        }
        tileset.tiles.push_back(out);
    }
    file.tileset = tileset.Build();
    return file.Build();
}

std::vector<SampleRmp> SampleRmpFiles() {
    std::vector<SampleRmp> samples;
    samples.push_back(VersionOne());
    samples.push_back(VersionTwo());
    samples.push_back(BuiltInMemory());
    return samples;
}

}  // namespace gridport::test
