// Tiled's JSON map written as text, front to back: the top-level values, the tile layers row by row, the object layers;
// the tileset after its tiles' information, and its image last. nlohmann quotes strings, nothing more.

#include "tiled/TiledWriter.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "picture/PngWriter.h"
#include "tiled/TiledNames.h"

namespace gridport::tiled {

namespace {

std::string JsonString(std::string_view text) {
    return nlohmann::json(std::string(text)).dump();
}

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

// A Tiled text: UTF-8 without a zero byte.
bool IsTiledText(std::string_view text) {
    return IsUtf8(text) && text.find('\0') == std::string_view::npos;
}

std::string Property(std::string_view name, std::string_view type, const std::string& value) {
    return "{\"name\":" + JsonString(name) + ",\"type\":\"" + std::string(type) + "\",\"value\":" + value + "}";
}

std::string IntProperty(std::string_view name, std::int64_t value) {
    return Property(name, "int", Number(value));
}

std::string BoolProperty(std::string_view name, bool value) {
    return Property(name, "bool", value ? "true" : "false");
}

// A text, or its exact bytes in base64 under NAME bytes when Tiled can't hold it.
std::string TextProperty(std::string_view name, std::string_view text) {
    if (IsTiledText(text)) {
        return Property(name, "string", JsonString(text));
    }
    return Property(std::string(name) + std::string(kBytesSuffix), "string", JsonString(Base64(text)));
}

// A float by the shortest decimal of it as a double, which every reader takes back to the same double and so the same
// float. Tiled 1.8 keeps a float property as a double but saves it with 15 significant digits (0.3333333432674408
// comes back as 0.333333343267441): still far nearer the float than any other float, so it rounds back to it. -0 and
// values that aren't finite go as their bit pattern in a string.
std::string FloatProperty(std::string_view name, float value) {
    if (!std::isfinite(value) || (value == 0.0F && std::signbit(value))) {
        char bits[16];
        std::snprintf(bits, sizeof bits, "0x%08x", static_cast<unsigned>(std::bit_cast<std::uint32_t>(value)));
        return Property(name, "string", JsonString(bits));
    }
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, static_cast<double>(value));
    return Property(name, "float", std::string(text, end));
}

std::string ObjectStart(std::size_t id, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height) {
    return "{\"id\":" + Number(static_cast<std::int64_t>(id)) + ",\"name\":\"\",\"type\":\"\",\"x\":" + Number(x) +
           ",\"y\":" + Number(y) + ",\"width\":" + Number(width) + ",\"height\":" + Number(height) +
           ",\"rotation\":0,\"visible\":true";
}

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ",") + item;
    }
    return text;
}

}  // namespace

bool NamesTiledMap(std::string_view path) {
    return EndsWithIgnoringCase(path, kMapEnding) || EndsWithIgnoringCase(path, kMapEndingAlso);
}

ExportPaths PathsFor(const std::string& map) {
    const std::size_t dot = map.rfind('.');
    const std::string base = map.substr(0, dot);
    const std::string stem = base.substr(FileNameStart(base));
    return ExportPaths{map, base + std::string(kTilesetEnding), base + std::string(kImageEnding), stem,
                       stem + std::string(kTilesetEnding)};
}

std::string TilesetEntry(std::string_view source) {
    return "\"tilesets\":[{\"firstgid\":1,\"source\":" + JsonString(source) + "}]";
}

Expected<void> CheckOutputs(const ExportPaths& paths, const std::vector<std::string>& inputs, FileSystem& fileSystem) {
    if (!IsUtf8(paths.stem) || paths.stem.empty()) {
        return Error(ErrorKind::Usage, paths.map,
                     "a Tiled map names its tileset and image in UTF-8: name the map in UTF-8, with a name before its "
                     "ending");
    }
    for (const std::string* output : {&paths.map, &paths.tileset, &paths.image}) {
        if (output != &paths.map && !paths.writesTileset) {
            continue;
        }
        for (const std::string& input : inputs) {
            if (fileSystem.SameFile(*output, input)) {
                return Error(ErrorKind::Output, *output, "the output is the input " + input);
            }
        }
    }
    return Success();
}

TiledWriter::TiledWriter(ExportPaths paths, FileSystem& fileSystem)
    : paths_(std::move(paths)), outputs_(fileSystem) {}

TiledWriter::~TiledWriter() = default;

Expected<void> TiledWriter::Begin(const MapHead& head) {
    head_ = head;
    if (head.tileWidth == 0 || head.tileHeight == 0 || head.tileCount == 0) {
        return Error(ErrorKind::Limit, paths_.map, "a Tiled tileset needs at least one tile of at least 1 x 1 pixel");
    }
    Expected<std::unique_ptr<OutputFile>> map = outputs_.OpenOutput(paths_.map);
    if (!map) {
        return map.error();
    }
    mapFile_ = std::move(*map);
    out_ = std::make_unique<BufferedWriter>(*mapFile_);
    if (paths_.writesTileset) {
        Expected<std::unique_ptr<OutputFile>> tileset = outputs_.OpenOutput(paths_.tileset);
        if (!tileset) {
            return tileset.error();
        }
        tilesetFile_ = std::move(*tileset);
        tiles_ = std::make_unique<BufferedWriter>(*tilesetFile_);
    }
    for (const RmpLayerPlace& layer : head.layers) {
        mapWidth_ = std::max<std::uint32_t>(mapWidth_, layer.width);
        mapHeight_ = std::max<std::uint32_t>(mapHeight_, layer.height);
    }
    // About square: as many columns as make the image's sides alike, the last row partly empty.
    const double across = std::ceil(std::sqrt(double{1} * head.tileCount * head.tileHeight / head.tileWidth));
    columns_ = static_cast<std::uint32_t>(std::clamp<double>(across, 1, head.tileCount));
    rows_ = (head.tileCount + columns_ - 1) / columns_;

    const std::size_t layers = head.layers.size() + (head.entities > 0 ? 1 : 0) + (head.zones > 0 ? 1 : 0);
    std::vector<std::string> properties{IntProperty(kHeaderX, head.headerX), IntProperty(kHeaderY, head.headerY),
                                        IntProperty(kHeaderLayer, head.headerLayer),
                                        IntProperty(kHeaderMode, head.headerMode)};
    for (std::size_t i = 0; i < rmp::kStringCount; ++i) {
        properties.push_back(TextProperty(rmp::kStringNames[i], head.strings[i]));
    }
    Put("{\"type\":\"map\",\"version\":" + JsonString(kFormatVersion) + ",\"tiledversion\":" + JsonString(kTiledVersion) +
        ",\"orientation\":\"orthogonal\",\"renderorder\":\"right-down\",\"infinite\":false,\"compressionlevel\":-1"
        ",\n\"width\":" +
        Number(mapWidth_) + ",\"height\":" + Number(mapHeight_) + ",\"tilewidth\":" + Number(head.tileWidth) +
        ",\"tileheight\":" + Number(head.tileHeight) + ",\"nextlayerid\":" + Number(static_cast<std::int64_t>(layers) + 1) +
        ",\"nextobjectid\":" + Number(static_cast<std::int64_t>(head.entities + head.zones) + 1) +
        ",\n" + TilesetEntry(paths_.source) + ",\n\"properties\":[" + Join(properties) + "],\n\"layers\":[");
    if (head.layers.empty() && head.entities == 0 && head.zones == 0) {
        CloseRecords();
    }

    const std::string tilesetHead =
        "{\"type\":\"tileset\",\"version\":" + JsonString(kFormatVersion) + ",\"tiledversion\":" + JsonString(kTiledVersion) +
        ",\"name\":" + JsonString(paths_.stem) + ",\"tilewidth\":" + Number(head.tileWidth) +
        ",\"tileheight\":" + Number(head.tileHeight) + ",\"tilecount\":" + Number(head.tileCount) +
        ",\"columns\":" + Number(columns_) + ",\"image\":" + JsonString(paths_.stem + std::string(kImageEnding)) +
        ",\"imagewidth\":" + Number(std::int64_t{columns_} * head.tileWidth) +
        ",\"imageheight\":" + Number(std::int64_t{rows_} * head.tileHeight) + ",\"margin\":0,\"spacing\":0,\n\"tiles\":[";
    if (tiles_ != nullptr) {
        tiles_->PutBytes(tilesetHead.data(), tilesetHead.size());
    }
    return Success();
}

void TiledWriter::PutNumber(std::int64_t value) {
    char text[24];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    out_->PutBytes(text, static_cast<std::size_t>(end - text));
}

void TiledWriter::BeginLayer() {
    const RmpLayerPlace& layer = head_.layers[layer_];
    const std::string& name = layer.name;
    Put(std::string(layer_ == 0 ? "\n" : ",\n") + "{\"id\":" + Number(static_cast<std::int64_t>(layer_) + 1) +
        ",\"name\":" + JsonString(IsTiledText(name) ? name : ReplacingBadUtf8(name)) +
        ",\"type\":\"tilelayer\",\"visible\":" + (layer.showFlag ? "true" : "false") +
        ",\"opacity\":1,\"x\":0,\"y\":0,\"width\":" + Number(mapWidth_) + ",\"height\":" + Number(mapHeight_) +
        ",\"data\":[\n");
    written_ = 0;
    x_ = 0;
    layerSegments_ = 0;
    dataOpen_ = true;
}

// Cell value v is gid v + 1; the map's cells beyond the layer's own size are empty (0). A row of the map a line. The
// block's text is made in text_ and written at once.
void TiledWriter::Cells(const std::uint8_t* bytes, std::size_t count) {
    const RmpLayerPlace& layer = head_.layers[layer_];
    text_.clear();
    char number[8];
    for (std::size_t i = 0; i < count; ++i) {
        if (written_ > 0) {
            text_ += written_ % mapWidth_ == 0 ? ",\n" : ",";
        }
        const auto [end, error] = std::to_chars(number, number + sizeof number, LoadU16(bytes + 2 * i) + 1);
        text_.append(number, end);
        ++written_;
        if (++x_ == layer.width) {
            for (std::uint32_t pad = layer.width; pad < mapWidth_; ++pad) {
                text_ += ",0";
                ++written_;
            }
            x_ = 0;
        }
    }
    out_->PutBytes(text_.data(), text_.size());
}

void TiledWriter::CloseData() {
    if (!dataOpen_) {
        return;
    }
    for (const std::uint64_t all = std::uint64_t{mapWidth_} * mapHeight_; written_ < all; ++written_) {
        Put(written_ == 0 ? "0" : written_ % mapWidth_ == 0 ? ",\n0" : ",0");
    }
    dataOpen_ = false;
    const RmpLayerPlace& layer = head_.layers[layer_];
    const RmpLayerFields& fields = layer;
    std::vector<std::string> properties{
        IntProperty(kLayerWidth, layer.width),        IntProperty(kLayerHeight, layer.height),
        BoolProperty(kFactorsEnabled, fields.factorsEnabled), FloatProperty(kFactorX, fields.factorX),
        FloatProperty(kFactorY, fields.factorY),      FloatProperty(kRateX, fields.rateX),
        FloatProperty(kRateY, fields.rateY),          BoolProperty(kAuxFlag, fields.auxFlag)};
    if (!IsTiledText(fields.name)) {
        properties.push_back(Property(kNameBytes, "string", JsonString(Base64(fields.name))));
    }
    Put("],\n\"properties\":[" + Join(properties));
}

// Segments go into one string property as they come, "x1 y1 x2 y2" each, a line break between two.
void TiledWriter::LayerSegment(const std::array<std::int32_t, 4>& segment) {
    CloseData();
    Put(layerSegments_++ == 0 ? ",{\"name\":" + JsonString(kSegments) + ",\"type\":\"string\",\"value\":\"" : "\\n");
    for (std::size_t k = 0; k < segment.size(); ++k) {
        Put(k == 0 ? "" : " ");
        PutNumber(segment[k]);
    }
}

void TiledWriter::EndLayer() {
    CloseData();
    Put(layerSegments_ > 0 ? "\"}]}" : "]}");
    if (++layer_ == head_.layers.size() && head_.entities == 0 && head_.zones == 0) {
        CloseRecords();
    }
}

void TiledWriter::OpenObjects(std::string_view name, std::size_t id) {
    Put(std::string(id == 1 ? "\n" : ",\n") + "{\"id\":" + Number(static_cast<std::int64_t>(id)) +
        ",\"name\":" + JsonString(name) +
        ",\"type\":\"objectgroup\",\"draworder\":\"topdown\",\"visible\":true,\"opacity\":1,\"x\":0,\"y\":0,"
        "\"objects\":[\n");
}

void TiledWriter::Entity(const EntityRecord& entity) {
    if (entities_ == 0) {
        OpenObjects(kEntitiesLayer, head_.layers.size() + 1);
    }
    std::vector<std::string> properties{IntProperty(kObjectLayer, entity.layer), IntProperty(kEntityKind, entity.kind)};
    const std::size_t texts = entity.kind == 2 ? 7 : entity.kind == 3 ? 1 : 0;
    for (std::size_t k = 0; k < texts; ++k) {
        const std::string name = k == 0   ? std::string(kTextA)
                                 : k == 1 ? std::string(kTextB)
                                          : std::string(kEntityTextList) + std::to_string(k - 1);
        properties.push_back(TextProperty(name, entity.texts[k]));
    }
    const std::string separator = entities_ == 0 ? "" : ",\n";
    Put(separator + ObjectStart(++entities_, entity.x, entity.y, 0, 0) +
        ",\"point\":true,\"properties\":[" + Join(properties) + "]}");
    if (entities_ == head_.entities) {
        Put("]}");
        if (head_.zones == 0) {
            CloseRecords();
        }
    }
}

// A zone is the rectangle between its corners; which corner came first is kept by the reversed properties.
void TiledWriter::Zone(const ZoneRecord& zone) {
    if (zones_ == 0) {
        OpenObjects(kZonesLayer, head_.layers.size() + (head_.entities > 0 ? 1 : 0) + 1);
    }
    const auto& [x1, y1, x2, y2, layer, aux] = zone.values;
    std::vector<std::string> properties{IntProperty(kObjectLayer, layer), IntProperty(kZoneAuxValue, aux),
                                        TextProperty(kZoneText, zone.text)};
    if (x1 > x2) {
        properties.push_back(BoolProperty(kReversedX, true));
    }
    if (y1 > y2) {
        properties.push_back(BoolProperty(kReversedY, true));
    }
    const std::size_t id = head_.entities + ++zones_;
    Put(std::string(zones_ == 1 ? "" : ",\n") +
        ObjectStart(id, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) - std::min(x1, x2),
                    std::max(y1, y2) - std::min(y1, y2)) +
        ",\"properties\":[" + Join(properties) + "]}");
    if (zones_ == head_.zones) {
        Put("]}");
        CloseRecords();
    }
}

void TiledWriter::CloseRecords() {
    if (!mapClosed_) {
        Put("\n]}\n");
        mapClosed_ = true;
    }
}

void TiledWriter::Pixels(const std::uint8_t* bytes, std::size_t count) {
    if (tiles_ == nullptr) {
        return;
    }
    pixels_.insert(pixels_.end(), bytes, bytes + count);
}

// A tile with information or segments gets an entry: its values, and its segments as polylines in its collision shapes.
void TiledWriter::TileInfo(const RtsTileInfo& info) {
    const std::uint32_t tile = tile_++;
    if (tiles_ == nullptr) {
        return;
    }
    if (!info.infoFlag && info.infoValueA == 0 && info.infoValueB == 0 && info.segments.empty()) {
        return;
    }
    std::string entry = std::string(tileListed_ ? ",\n" : "\n") + "{\"id\":" + Number(tile) + ",\"properties\":[" +
                        BoolProperty(kInfoFlag, info.infoFlag) + "," + IntProperty(kInfoValueA, info.infoValueA) +
                        "," + IntProperty(kInfoValueB, info.infoValueB) + "]";
    tileListed_ = true;
    if (!info.segments.empty()) {
        entry += ",\"objectgroup\":{\"draworder\":\"index\",\"name\":\"\",\"opacity\":1,\"type\":\"objectgroup\","
                 "\"visible\":true,\"x\":0,\"y\":0,\"objects\":[";
        std::size_t id = 0;
        for (const auto& [x1, y1, x2, y2] : info.segments) {
            entry += id == 0 ? "" : ",";
            entry += ObjectStart(id + 1, x1, y1, 0, 0);
            entry += ",\"polyline\":[{\"x\":0,\"y\":0},{\"x\":" + Number(std::int64_t{x2} - x1);
            entry += ",\"y\":" + Number(std::int64_t{y2} - y1) + "}]}";
            ++id;
        }
        entry += "]}";
    }
    entry += "}";
    tiles_->PutBytes(entry.data(), entry.size());
}

Expected<void> TiledWriter::Commit() {
    CloseRecords();
    if (tiles_ == nullptr) {
        out_->Flush();
        if (Expected<void> written = outputs_.Written(); !written) {
            return written;
        }
        return outputs_.PutInPlace();
    }
    const std::string end = std::string(tileListed_ ? "\n" : "") + "]}\n";
    tiles_->PutBytes(end.data(), end.size());
    const std::uint64_t tileBytes = std::uint64_t{head_.tileWidth} * head_.tileHeight * 4;
    if (pixels_.size() != tileBytes * head_.tileCount) {
        return Error(paths_.image, "the tileset's pixels did not all arrive");
    }
    // The image: the tiles in rows of columns_, tile row after tile row.
    const std::size_t rowBytes = std::size_t{head_.tileWidth} * 4;
    row_.assign(rowBytes * columns_, 0);
    const auto rows = [&](std::uint32_t y) -> Expected<const std::uint8_t*> {
        const std::uint32_t tileRow = y / head_.tileHeight;
        const std::uint32_t line = y % head_.tileHeight;
        for (std::uint32_t column = 0; column < columns_; ++column) {
            const std::uint64_t tile = std::uint64_t{tileRow} * columns_ + column;
            std::uint8_t* to = row_.data() + column * rowBytes;
            if (tile < head_.tileCount) {
                std::memcpy(to, pixels_.data() + tile * tileBytes + line * rowBytes, rowBytes);
            } else {
                std::memset(to, 0, rowBytes);
            }
        }
        return row_.data();
    };
    tiles_->Flush();
    out_->Flush();
    if (Expected<void> written = outputs_.Written(); !written) {
        return written;
    }
    // The image is held too, and the three are put in place only once all are written.
    if (Expected<void> image = WritePng(columns_ * head_.tileWidth, rows_ * head_.tileHeight, rows, paths_.image,
                                        outputs_, PngUse::TiledTileset);
        !image) {
        return image;
    }
    return outputs_.PutInPlace();
}

}  // namespace gridport::tiled
