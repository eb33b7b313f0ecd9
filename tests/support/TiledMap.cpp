#include "support/TiledMap.h"

#include "picture/PngWriter.h"

namespace gridport::test {

namespace {

using Json = nlohmann::json;

Json Property(const std::string& name, const char* type, Json value) {
    return Json{{"name", name}, {"type", type}, {"value", std::move(value)}};
}

}  // namespace

TileMap SampleTiledMap() {
    TileMap map;
    map.headerX = 65535;
    map.headerY = 7;
    map.headerLayer = 1;
    map.headerMode = 255;
    map.linkedFileName = "linked.vsp";
    map.textA = "A";
    map.textB = "caf\xC3\xA9";
    map.textList = {"one", "", "three", "four"};
    MapLayer ground;
    ground.name = "ground";
    ground.width = 4;
    ground.height = 3;
    for (std::uint32_t i = 0; i < 12; ++i) {
        ground.tiles.push_back(i % 5);
    }
    ground.segments = {{-1, 2, 70000, -70000}, {0, 0, 1, 1}};
    MapLayer top = ground;
    top.name = "top";
    top.width = 2;
    top.height = 2;
    top.tiles = {4, 3, 2, 1};
    top.segments.clear();
    top.showFlag = false;
    top.factorsEnabled = true;
    top.auxFlag = true;
    top.factorX = 0.25F;
    top.rateY = -3.5F;
    map.layers = {ground, top};
    map.entities.resize(3);
    for (std::size_t i = 0; i < 3; ++i) {
        MapEntity& entity = map.entities[i];
        entity.x = static_cast<std::int32_t>(i) * 100;
        entity.y = 65535 - static_cast<std::int32_t>(i);
        entity.layer = 1;
        entity.kind = i == 0 ? 0 : static_cast<std::int32_t>(i) + 1;
        entity.textA = i == 0 ? "" : "a" + std::to_string(i);
        entity.textB = i == 1 ? "b" : "";
        entity.textList = i == 1 ? std::array<std::string, 5>{"l0", "", "l2", "l3", "l4"} : std::array<std::string, 5>{};
    }
    map.zones = {MapZone{1, 2, 3, 4, 5, 6, "zone"}, MapZone{30, 40, 10, 20, 0, 65535, ""}};
    map.tileset.tileWidth = 2;
    map.tileset.tileHeight = 3;
    map.tileset.tiles.assign(5, Tile{RgbaImage(2, 3), false, 0, 0, {}});
    for (std::size_t i = 0; i < 5; ++i) {
        for (std::size_t p = 0; p < 24; ++p) {
            map.tileset.tiles[i].image.pixels[p] = static_cast<std::uint8_t>(i * 40 + p * 7);
        }
    }
    map.tileset.tiles[1].infoFlag = true;
    map.tileset.tiles[1].infoValueA = 65535;
    map.tileset.tiles[1].infoValueB = 9;
    map.tileset.tiles[4].segments = {{0, 0, 2, 3}, {65535, 1, 0, 2}};
    return map;
}

Json TiledMapJson(const TileMap& map) {
    std::int32_t width = 0;
    std::int32_t height = 0;
    for (const MapLayer& layer : map.layers) {
        width = std::max(width, layer.width);
        height = std::max(height, layer.height);
    }
    Json properties = Json::array({Property("header x", "int", map.headerX), Property("header y", "int", map.headerY),
                                   Property("header layer", "int", map.headerLayer),
                                   Property("header mode", "int", map.headerMode)});
    const std::string strings[rmp::kStringCount] = {"",          map.linkedFileName, "",          map.textA,
                                                    map.textB,   map.textList[0],    map.textList[1],
                                                    map.textList[2], map.textList[3]};
    for (std::size_t i = 0; i < rmp::kStringCount; ++i) {
        properties.push_back(Property(rmp::kStringNames[i], "string", strings[i]));
    }
    Json layers = Json::array();
    for (const MapLayer& layer : map.layers) {
        Json data = Json::array();
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                const bool inside = x < layer.width && y < layer.height;
                data.push_back(inside ? layer.tiles[static_cast<std::size_t>(y * layer.width + x)] + 1 : 0);
            }
        }
        Json layerProperties = Json::array(
            {Property("width", "int", layer.width), Property("height", "int", layer.height),
             Property("factors enabled", "bool", layer.factorsEnabled), Property("factor x", "float", layer.factorX),
             Property("factor y", "float", layer.factorY), Property("rate x", "float", layer.rateX),
             Property("rate y", "float", layer.rateY), Property("aux flag", "bool", layer.auxFlag)});
        if (!layer.segments.empty()) {
            std::string text;
            for (const Segment& s : layer.segments) {
                for (const std::int32_t value : {s.x1, s.y1, s.x2, s.y2}) {
                    text.append(std::to_string(value)).push_back(' ');
                }
                text.back() = '\n';
            }
            text.pop_back();
            layerProperties.push_back(Property("segments", "string", text));
        }
        layers.push_back({{"type", "tilelayer"}, {"name", layer.name}, {"visible", layer.showFlag},
                          {"opacity", 1}, {"x", 0}, {"y", 0}, {"width", width}, {"height", height},
                          {"data", data}, {"properties", layerProperties}});
    }
    if (!map.entities.empty()) {
        Json objects = Json::array();
        for (const MapEntity& entity : map.entities) {
            Json entityProperties = Json::array({Property("layer", "int", entity.layer),
                                                 Property("kind", "int", entity.kind),
                                                 Property("text A", "string", entity.textA),
                                                 Property("text B", "string", entity.textB)});
            for (std::size_t i = 0; i < entity.textList.size(); ++i) {
                entityProperties.push_back(Property("text list " + std::to_string(i + 1), "string", entity.textList[i]));
            }
            objects.push_back({{"point", true}, {"x", entity.x}, {"y", entity.y}, {"properties", entityProperties}});
        }
        layers.push_back({{"type", "objectgroup"}, {"name", "entities"}, {"objects", objects}});
    }
    if (!map.zones.empty()) {
        Json objects = Json::array();
        for (const MapZone& zone : map.zones) {
            Json zoneProperties = Json::array({Property("layer", "int", zone.layer),
                                               Property("aux value", "int", zone.auxValue),
                                               Property("text", "string", zone.text)});
            if (zone.x1 > zone.x2) {
                zoneProperties.push_back(Property("reversed x", "bool", true));
            }
            if (zone.y1 > zone.y2) {
                zoneProperties.push_back(Property("reversed y", "bool", true));
            }
            objects.push_back({{"x", std::min(zone.x1, zone.x2)}, {"y", std::min(zone.y1, zone.y2)},
                               {"width", std::abs(zone.x2 - zone.x1)}, {"height", std::abs(zone.y2 - zone.y1)},
                               {"properties", zoneProperties}});
        }
        layers.push_back({{"type", "objectgroup"}, {"name", "zones"}, {"objects", objects}});
    }
    return {{"type", "map"}, {"version", "1.8"}, {"orientation", "orthogonal"}, {"infinite", false},
            {"width", width}, {"height", height}, {"tilewidth", map.tileset.tileWidth},
            {"tileheight", map.tileset.tileHeight}, {"tilesets", Json::array({{{"firstgid", 1}, {"source", "tiles.tsj"}}})},
            {"properties", properties}, {"layers", layers}};
}

Json TiledTilesetJson(const Tileset& tileset, std::int32_t columns) {
    const std::int32_t count = tileset.TileCount();
    const std::int32_t rows = (count + columns - 1) / columns;
    Json tiles = Json::array();
    for (std::int32_t i = 0; i < count; ++i) {
        const Tile& tile = tileset.tiles[static_cast<std::size_t>(i)];
        if (!tile.infoFlag && tile.infoValueA == 0 && tile.infoValueB == 0 && tile.segments.empty()) {
            continue;
        }
        Json shapes = Json::array();
        for (const Segment& s : tile.segments) {
            shapes.push_back({{"x", s.x1}, {"y", s.y1},
                              {"polyline", Json::array({{{"x", 0}, {"y", 0}}, {{"x", s.x2 - s.x1}, {"y", s.y2 - s.y1}}})}});
        }
        tiles.push_back({{"id", i},
                         {"properties", Json::array({Property("info flag", "bool", tile.infoFlag),
                                                     Property("info value A", "int", tile.infoValueA),
                                                     Property("info value B", "int", tile.infoValueB)})},
                         {"objectgroup", {{"draworder", "index"}, {"objects", shapes}}}});
    }
    return {{"type", "tileset"}, {"name", "tiles"}, {"tilewidth", tileset.tileWidth},
            {"tileheight", tileset.tileHeight}, {"tilecount", count}, {"columns", columns}, {"image", "tiles.png"},
            {"imagewidth", columns * tileset.tileWidth}, {"imageheight", rows * tileset.tileHeight},
            {"margin", 0}, {"spacing", 0}, {"tiles", tiles}};
}

Bytes TilesetPng(const Tileset& tileset, std::int32_t columns) {
    const std::int32_t count = tileset.TileCount();
    const auto width = static_cast<std::uint32_t>(columns * tileset.tileWidth);
    const auto height = static_cast<std::uint32_t>((count + columns - 1) / columns * tileset.tileHeight);
    std::vector<std::uint8_t> row(std::size_t{width} * 4);
    MemoryFileSystem files;
    const auto rows = [&](std::uint32_t y) -> Expected<const std::uint8_t*> {
        std::fill(row.begin(), row.end(), 0);
        const std::int32_t tileRow = static_cast<std::int32_t>(y) / tileset.tileHeight;
        const std::int32_t inTile = static_cast<std::int32_t>(y) % tileset.tileHeight;
        for (std::int32_t column = 0; column < columns && tileRow * columns + column < count; ++column) {
            const RgbaImage& image = tileset.tiles[static_cast<std::size_t>(tileRow * columns + column)].image;
            std::copy_n(image.pixels.begin() + inTile * tileset.tileWidth * 4, tileset.tileWidth * 4,
                        row.begin() + column * tileset.tileWidth * 4);
        }
        return row.data();
    };
    const Expected<void> written = WritePng(width, height, rows, "tiles.png", files, PngUse::Picture);
    return written ? files.Get("tiles.png") : Bytes{};
}

void PutTiledMap(MemoryFileSystem& files, const Json& map, const Json& tileset, const Bytes& png) {
    const std::string mapText = map.dump();
    const std::string tilesetText = tileset.dump();
    files.Put("map.tmj", Bytes(mapText.begin(), mapText.end()));
    files.Put("tiles.tsj", Bytes(tilesetText.begin(), tilesetText.end()));
    files.Put("tiles.png", png);
}

}  // namespace gridport::test
