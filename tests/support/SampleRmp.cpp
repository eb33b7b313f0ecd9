#include "support/SampleRmp.h"

#include "support/Conversion.h"
#include "support/MemoryFileSystem.h"

namespace gridport::testing {

namespace {

SampleRmp Converted(std::string name, const Bytes& mapBytes, const Bytes& tilesetBytes,
                    const std::string& tilesetPath) {
    SampleRmp sample{std::move(name), std::make_unique<TileMap>(), {}, {}};
    MemoryFileSystem files;
    files.Put(kMapPath, mapBytes);
    files.Put(tilesetPath, tilesetBytes);
    if (Convert(files, *sample.map, tilesetPath) == ConversionOutcome::Converted) {
        sample.bytes = files.Get(kOutputPath);
    }
    return sample;
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
    SampleRmp sample{"map with entities and zones", std::make_unique<TileMap>(), {}, {}};
    TileMap& map = *sample.map;
    map.SetHeaderX(-2);
    map.SetHeaderY(70000);
    map.SetHeaderLayer(1);
    map.SetHeaderMode(300);
    map.SetLinkedFileName("linked.vsp");
    map.textA = "A";
    map.textB = "B text";
    map.textList = {"one", "", "three", "four"};
    MapLayer layer;
    layer.SetName("ground");
    layer.Resize(3, 2);
    layer.tiles = {0, 1, 65536 + 2, 1, 5, 2};
    layer.showFlag = false;
    layer.factorsEnabled = true;
    layer.auxFlag = true;
    layer.factorX = 0.25F;
    layer.rateY = -3.5F;
    layer.segments.Append(-1, 2, 70000, -70000);
    map.AppendLayer(layer);
    layer.SetName("top");
    layer.showFlag = true;
    map.AppendLayer(layer);
    sample.entities.resize(4);
    for (std::size_t i = 0; i < sample.entities.size(); ++i) {
        MapEntity& entity = sample.entities[i];
        entity.x = static_cast<std::int32_t>(i) - 1;
        entity.y = 65536 + static_cast<std::int32_t>(i);
        entity.layer = 1;
        entity.kind = static_cast<std::int32_t>(i) + 1;  // kinds 1 to 4: record types 0, 1, 2, 0
        entity.textA = "a" + std::to_string(i);
        entity.textB = "b" + std::to_string(i);
        entity.textList = {"l0", "", "l2", "l3", "l4"};
    }
    map.entities.assign(sample.entities.begin(), sample.entities.end());
    map.zones = {MapZone{1, 2, 3, 4, 5, 6, "zone"}, MapZone{-1, 0, 70000, 0, 0, 0, ""}};
    map.tileset.tileWidth = 2;
    map.tileset.tileHeight = 3;
    map.tileset.AppendBlankTiles(3);
    map.tileset.tiles[0].image.pixels[5] = 9;
    map.tileset.tiles[1].SetInfoValueA(-1);
    map.tileset.tiles[1].SetInfoValueB(65536 + 5);
    map.tileset.tiles[2].segments.Append(-1, 0, 70000, 5);
    sample.bytes = SaveToMemory(map);
    return sample;
}

}  // namespace

Bytes SaveToMemory(TileMap& map) {
    MemoryFileSystem files;
    return map.Save("out.rmp", files) ? files.Get("out.rmp") : Bytes{};
}

std::vector<SampleRmp> SampleRmpFiles() {
    std::vector<SampleRmp> samples;
    samples.push_back(VersionOne());
    samples.push_back(VersionTwo());
    samples.push_back(BuiltInMemory());
    return samples;
}

}  // namespace gridport::testing
