// The import of a Tiled JSON map: the map is parsed once with its layers' cells left out (only how many there are is
// kept) and checked with its tileset; a second parse then streams each layer's cells, from their JSON list, base64
// text or inflated bytes, into the RMP writer; and the tileset's picture, its size checked against the tileset,
// becomes the embedded RTS tileset last.
// A failure travels as a Refusal (tiled/TiledJson.h) up to ImportTiledMap, which returns it.

#include "tiled/TiledImport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "base/Text.h"
#include "picture/PngReader.h"
#include "rmp/RmpLayout.h"
#include "rmp/RmpWriter.h"
#include "tiled/Inflate.h"
#include "tiled/TiledJson.h"
#include "tiled/TiledNames.h"
#include "tileset/RtsLayout.h"
#include "tileset/RtsWriter.h"

namespace gridport {

namespace {

using namespace tiled;

// Tiled keeps a cell's flips in a gid's top bits: horizontal, vertical, diagonal, and a hexagonal map's rotation.
constexpr std::uint32_t kGidFlags = 0xF0000000U;

// The tileset: its tiles' size and count, where they lie in its picture, and what its tiles carry.
struct TileExtra {
    bool flag = false;
    std::int64_t valueA = 0;
    std::int64_t valueB = 0;
    std::vector<std::array<std::int64_t, 4>> segments;
};

struct TiledTileset {
    std::string path;  // the file it is in: the .tsj, or the map when embedded
    std::int64_t firstGid = 1;
    std::int64_t tileWidth = 0;
    std::int64_t tileHeight = 0;
    std::int64_t count = 0;
    std::int64_t columns = 0;
    std::int64_t margin = 0;
    std::int64_t spacing = 0;
    std::optional<std::int64_t> imageWidth;
    std::optional<std::int64_t> imageHeight;
    std::string imagePath;
    std::optional<std::array<std::uint8_t, 3>> transparent;
    std::map<std::int64_t, TileExtra> extras;
};

std::optional<std::array<std::uint8_t, 3>> ParseColour(const std::string& text) {
    // "#rrggbb", or "#aarrggbb" whose alpha a colour key ignores.
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    if (std::from_chars(text.data() + 1, end, value, 16).ptr != end) {
        return std::nullopt;
    }
    return std::array<std::uint8_t, 3>{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                                       static_cast<std::uint8_t>(value)};
}

void ReadTileExtras(const Json& tiles, TiledTileset& tileset, const Place& place) {
    for (const Json& tile : tiles) {
        const std::int64_t id = Integer(tile, "id", place.Within("a tile"), 0, std::max<std::int64_t>(tileset.count - 1, 0));
        if (id >= tileset.count) {
            place.Fail("tile " + std::to_string(id) + " is beyond the tileset's " + Counted(tileset.count, "tile"));
        }
        const Place at = place.Within("tile " + std::to_string(id));
        const Properties properties(tile, at);
        TileExtra& extra = tileset.extras[id];
        extra.flag = properties.Bool(tiled::kInfoFlag, false);
        extra.valueA = properties.Int(tiled::kInfoValueA, 0, kMost16, 0);
        extra.valueB = properties.Int(tiled::kInfoValueB, 0, kMost16, 0);
        const Json* group = Find(tile, "objectgroup");
        if (group == nullptr) {
            continue;
        }
        std::size_t index = 0;
        for (const Json& shape : List(*group, "objects", at)) {
            const Place shapeAt = at.Within("collision shape " + std::to_string(++index));
            const Json* line = Find(shape, "polyline");
            if (line == nullptr || !line->is_array() || line->size() != 2) {
                shapeAt.Fail("not a line of two points; a tile's segments are two-point polylines");
            }
            const std::int64_t x = Pixels(shape, "x", shapeAt, -kMost16, kMost16);
            const std::int64_t y = Pixels(shape, "y", shapeAt, -kMost16, kMost16);
            std::array<std::int64_t, 4> segment{};
            for (std::size_t end = 0; end < 2; ++end) {
                segment[2 * end] = x + Pixels((*line)[end], "x", shapeAt, -kMost16, kMost16);
                segment[2 * end + 1] = y + Pixels((*line)[end], "y", shapeAt, -kMost16, kMost16);
            }
            for (const std::int64_t value : segment) {
                if (value < 0 || value > kMost16) {
                    shapeAt.Fail("a point at " + std::to_string(value) + "; a tile's segment holds 0 to 65535");
                }
            }
            extra.segments.push_back(segment);
        }
        if (extra.segments.size() > rts::kMaxTiles) {
            at.Fail("more than 65535 segments", ErrorKind::Limit);
        }
    }
}

TiledTileset ReadTileset(const Json& json, const std::string& path, std::int64_t firstGid, const Place& place) {
    if (!json.is_object()) {
        place.Fail("the tileset is not a JSON object");
    }
    if (const Json* type = Find(json, "type"); type != nullptr && *type != "tileset") {
        place.Fail("not a Tiled tileset (its type is " + type->dump() + ")");
    }
    if (Find(json, "image") == nullptr) {
        place.Fail("the tileset is a collection of images (tiles of several sizes); only a tileset of one picture, "
                   "its tiles all one size, imports");
    }
    TiledTileset tileset;
    tileset.path = path;
    tileset.firstGid = firstGid;
    tileset.tileWidth = Integer(json, "tilewidth", place, 1, kMost16);
    tileset.tileHeight = Integer(json, "tileheight", place, 1, kMost16);
    tileset.count = Integer(json, "tilecount", place, 0, kMostSize);
    if (tileset.count > static_cast<std::int64_t>(rts::kMaxTiles)) {
        place.Fail("the tileset has " + std::to_string(tileset.count) + " tiles; the RMP format holds at most " +
                       std::to_string(rts::kMaxTiles),
                   ErrorKind::Limit);
    }
    tileset.columns = Integer(json, "columns", place, tileset.count > 0 ? 1 : 0, kMost16);
    tileset.margin = Integer(json, "margin", place, 0, kMost16, 0);
    tileset.spacing = Integer(json, "spacing", place, 0, kMost16, 0);
    if (Find(json, "imagewidth") != nullptr) {
        tileset.imageWidth = Integer(json, "imagewidth", place, 0, kMostSize);
    }
    if (Find(json, "imageheight") != nullptr) {
        tileset.imageHeight = Integer(json, "imageheight", place, 0, kMostSize);
    }
    tileset.imagePath = Beside(path, Text(json, "image", place));
    if (const Json* colour = Find(json, "transparentcolor")) {
        tileset.transparent = colour->is_string() ? ParseColour(colour->get<std::string>()) : std::nullopt;
        if (!tileset.transparent) {
            place.Fail("transparentcolor is not a colour #rrggbb");
        }
    }
    if (Find(json, "tiles") != nullptr) {
        ReadTileExtras(List(json, "tiles", place), tileset, place);
    }
    return tileset;
}

// What a layer's data is, noted as the first parse goes by it: the cells themselves are never kept.
struct DataSeen {
    enum class Kind { Missing, List, Text, Other };
    Kind kind = Kind::Missing;
    std::uint64_t cells = 0;      // a list's elements
    std::uint64_t textBytes = 0;  // a text's length
    std::size_t members = 0;      // "data" members of the layer: the last is its cells (as a value keeps the last)
};

// Where a layer's cells go in the second parse.
class CellsTarget {
public:
    // The member-th "data" of the layer at index in the map's layers list comes next; false when it isn't the cells
    // of a tile layer.
    virtual bool Open(std::size_t index, std::size_t member) = 0;
    virtual void Cell(const Json& gid) = 0;  // an element of the data's list (null for a list or object)
    virtual void CellsText(const std::string& text) = 0;  // the data as text

protected:
    ~CellsTarget() = default;
};

// The map's JSON as the parser's events. Without a target (the first parse) it builds the map's value as nlohmann's
// parser would, but that no layer's "data" is in it: its list is counted, its text measured, in seen. With a target
// (the second parse) it keeps nothing and gives the target the cells of the map's layers list, which is the last
// "layers" member (as a value keeps the last of a repeated key), as is a layer's last "data" its cells.
// Depths count the containers open: the map's members are at 1, the layers at 2, their members at 3, cells at 4.
class MapEvents : public JsonEvents {
public:
    explicit MapEvents(std::vector<DataSeen>& seen) : seen_(&seen) {}
    MapEvents(CellsTarget& target, std::size_t lists) : target_(&target), wantedList_(lists) {}

    Json& Value() { return root_; }
    std::size_t Lists() const { return lists_; }

    bool null() { return Put(nullptr); }
    bool boolean(bool value) { return Put(value); }
    bool number_integer(std::int64_t value) { return Put(value); }
    bool number_unsigned(std::uint64_t value) { return Put(value); }
    bool number_float(double value, const std::string&) { return Put(value); }
    bool string(std::string& value) {
        if (!skipping_ && IsData()) {
            if (cells_ && seen_ != nullptr) {
                Seen().kind = DataSeen::Kind::Text;
                Seen().textBytes = value.size();
            } else if (streaming_) {
                target_->CellsText(value);
            }
            return true;
        }
        return Put(std::move(value));
    }
    bool binary(Json::binary_t& value) { return Put(std::move(value)); }
    bool start_object(std::size_t) { return Start(Json::object()); }
    bool start_array(std::size_t) { return Start(Json::array()); }
    bool end_object() { return End(); }
    bool end_array() { return End(); }

    bool key(std::string& key) {
        if (skipping_) {
            return true;
        }
        if (depth_ == 1) {
            mapKey_ = key;
            inList_ = false;
            if (key == "layers") {
                ++lists_;
                if (seen_ != nullptr) {
                    seen_->clear();
                }
            }
        } else if (inList_ && depth_ == 3) {
            layerKey_ = key;
            cells_ = key == "data";
            dataMembers_ += cells_ ? 1 : 0;
            if (cells_ && seen_ != nullptr) {
                Seen() = DataSeen{DataSeen::Kind::Other, 0, 0, dataMembers_};
            }
            streaming_ =
                cells_ && target_ != nullptr && lists_ == wantedList_ && target_->Open(layers_ - 1, dataMembers_);
        }
        key_ = std::move(key);
        return true;
    }

private:
    // The layer member being read is a "data", whose value is never kept.
    bool IsData() const { return inList_ && depth_ == 3 && layerKey_ == "data"; }
    bool IsCell() const { return inCells_ && depth_ == 4; }
    DataSeen& Seen() {
        seen_->resize(std::max(seen_->size(), layers_));
        return (*seen_)[layers_ - 1];
    }
    void NextLayer() {
        if (inList_ && depth_ == 2) {
            ++layers_;
            layerKey_.clear();
            dataMembers_ = 0;
            cells_ = false;
            streaming_ = false;
        }
    }

    template <typename Value>
    bool Put(Value&& value) {
        if (skipping_) {
            return true;
        }
        if (IsCell()) {
            if (seen_ != nullptr) {
                ++Seen().cells;
            } else if (streaming_) {
                target_->Cell(Json(std::forward<Value>(value)));
            }
            return true;
        }
        if (IsData()) {
            return true;  // neither a list nor text: the first parse noted it as another kind
        }
        NextLayer();
        if (seen_ != nullptr) {
            Add(Json(std::forward<Value>(value)));
        }
        return true;
    }

    bool Start(Json container) {
        if (!skipping_) {
            const bool list = container.is_array();
            if (IsCell() || (IsData() && !list) || (inList_ && depth_ == 3 && layerKey_ == "chunks")) {
                // A list or object among cells is no number; data of another kind is not read; a
                // layer's chunks are kept empty, as the mark of an infinite map's.
                if (IsCell()) {
                    Put(nullptr);
                } else if (!IsData() && seen_ != nullptr) {
                    Add(std::move(container));
                }
                skipping_ = true;
                skipFrom_ = depth_;
            } else if (IsData()) {
                inCells_ = true;
                if (seen_ != nullptr) {
                    Seen().kind = DataSeen::Kind::List;
                }
            } else {
                NextLayer();
                if (depth_ == 1 && mapKey_ == "layers" && list) {
                    inList_ = true;
                    layers_ = 0;
                }
                if (seen_ != nullptr) {
                    stack_.push_back(Add(std::move(container)));
                }
            }
        }
        ++depth_;
        return true;
    }

    bool End() {
        --depth_;
        if (skipping_) {
            skipping_ = depth_ != skipFrom_;
        } else if (inCells_ && depth_ == 3) {
            inCells_ = false;
        } else if (seen_ != nullptr) {
            stack_.pop_back();
        }
        if (depth_ == 1) {
            inList_ = false;
        }
        return true;
    }

    // Puts value where the parse is: the root, the end of the open list, or the open object's member key_.
    Json* Add(Json value) {
        if (stack_.empty()) {
            root_ = std::move(value);
            return &root_;
        }
        Json& open = *stack_.back();
        if (open.is_array()) {
            open.push_back(std::move(value));
            return &open.back();
        }
        Json& member = open[key_];
        member = std::move(value);
        return &member;
    }

    std::vector<DataSeen>* seen_ = nullptr;
    CellsTarget* target_ = nullptr;
    std::size_t wantedList_ = 0;
    Json root_;
    std::vector<Json*> stack_;  // the open lists and objects being built
    std::string key_;
    std::size_t depth_ = 0;
    bool skipping_ = false;  // within a list or object not read, which opened at skipFrom_
    std::size_t skipFrom_ = 0;
    std::string mapKey_;
    std::size_t lists_ = 0;   // "layers" members of the map so far
    bool inList_ = false;     // within the value of the last of them, a list
    std::size_t layers_ = 0;  // its elements so far: the current one is layers_ - 1
    std::string layerKey_;    // the current layer's member
    std::size_t dataMembers_ = 0;  // "data" members of the layer so far
    bool cells_ = false;      // the member is a "data"
    bool inCells_ = false;    // within its list
    bool streaming_ = false;  // and the target takes them
};

// A tile layer as the RMP will have it, and where its cells are in the map's JSON.
struct LayerPlan {
    const Json* json = nullptr;
    DataSeen data;
    std::string label;  // "layer "ground""
    RmpLayerFields fields;
    std::int64_t dataWidth = 0;
    std::int64_t dataHeight = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::vector<LayerSegment> segments;
};

struct EntityPlan {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t layer = 0;
    std::int64_t kind = 0;
    std::string textA;
    std::string textB;
    std::array<std::string, rmp::kEntityStringCount> textList;
};

struct ZonePlan {
    std::array<std::int32_t, rmp::kZoneValueCount> values{};
    std::string text;
};

// Writes nothing: the check-only import runs the same pass into it.
class DiscardFile final : public File {
public:
    Expected<std::size_t> Read(void*, std::size_t) override { return Error("", "nothing to read"); }
    Expected<void> Write(const void*, std::size_t) override { return Success(); }
    Expected<std::uint64_t> Size() override { return std::uint64_t{0}; }
    Expected<std::uint64_t> Tell() override { return std::uint64_t{0}; }
    Expected<void> Seek(std::uint64_t) override { return Success(); }
};

// A layer's gids in row order over its data's size, checked and written as RMP cells within the layer's own size.
class CellStream {
public:
    CellStream(const LayerPlan& layer, const TiledTileset& tileset, BufferedWriter& out, const Place& place,
               bool& usesEmptyTile)
        : layer_(layer), tileset_(tileset), out_(out), place_(place), usesEmptyTile_(usesEmptyTile) {}

    std::uint64_t Taken() const { return taken_; }

    void Take(std::uint32_t gid) {
        ++taken_;
        if (x_ < layer_.width && y_ < layer_.height) {
            out_.PutU16(Cell(gid));
        } else if (gid != 0) {
            // Beyond the layer's own size the RMP layer has no cells: a tile drawn there would be lost.
            place_.Fail("cell (" + std::to_string(x_) + ", " + std::to_string(y_) + ") holds gid " +
                        std::to_string(gid) + " outside the layer's own size " + std::to_string(layer_.width) +
                        " x " + std::to_string(layer_.height) + " (its width and height properties)");
        }
        if (++x_ == layer_.dataWidth) {
            x_ = 0;
            ++y_;
        }
    }

private:
    std::uint32_t Cell(std::uint32_t gid) {
        if ((gid & kGidFlags) == 0 && gid >= tileset_.firstGid && gid - tileset_.firstGid < tileset_.count) {
            return static_cast<std::uint32_t>(gid - tileset_.firstGid);
        }
        const std::string cell = "cell (" + std::to_string(x_) + ", " + std::to_string(y_) + ")";
        if ((gid & kGidFlags) != 0) {
            place_.Fail(cell + " is flipped or rotated (gid " + std::to_string(gid) + "); an RMP tile can't be");
        }
        if (gid == 0) {
            // The extra transparent tile after the tileset's own.
            if (tileset_.count >= static_cast<std::int64_t>(rts::kMaxTiles)) {
                place_.Fail(cell + " is empty, which needs one more tile than the tileset's " +
                                std::to_string(tileset_.count) + "; the RMP format holds at most " +
                                std::to_string(rts::kMaxTiles) + " tiles",
                            ErrorKind::Limit);
            }
            usesEmptyTile_ = true;
            return static_cast<std::uint32_t>(tileset_.count);
        }
        place_.Fail(cell + " holds gid " + std::to_string(gid) + ", beyond the tileset (gids " +
                    std::to_string(tileset_.firstGid) + " to " + std::to_string(tileset_.firstGid + tileset_.count - 1) +
                    ")");
    }

    const LayerPlan& layer_;
    const TiledTileset& tileset_;
    BufferedWriter& out_;
    const Place& place_;
    bool& usesEmptyTile_;
    std::int64_t x_ = 0;
    std::int64_t y_ = 0;
    std::uint64_t taken_ = 0;
};

// The layer whose cells are streaming into the RMP file.
struct CellsOpen {
    CellsOpen(const LayerPlan& plan, const TiledTileset& tileset, BufferedWriter& out, const std::string& path,
              bool& usesEmptyTile)
        : layer(plan), place{path, plan.label}, stream(plan, tileset, out, place, usesEmptyTile) {}

    const LayerPlan& layer;
    const Place place;
    CellStream stream;
};

class Import final : private CellsTarget {
public:
    Import(const std::string& mapPath, FileSystem& fileSystem) : mapPath_(mapPath), fileSystem_(fileSystem) {}

    TiledImportSummary Run(const std::optional<std::string>& output) {
        mapFile_ = std::make_unique<JsonFile>(mapPath_, fileSystem_);
        MapEvents survey(seen_);
        mapFile_->Parse(survey);
        map_ = std::move(survey.Value());
        layerLists_ = survey.Lists();
        const Place place{mapPath_, ""};
        ReadMap(place);
        ReadLayers(List(map_, "layers", place), place);
        std::unique_ptr<OutputFile> outputFile;
        DiscardFile discard;
        if (output) {
            for (const std::string& input : {mapPath_, tileset_.path, tileset_.imagePath}) {
                if (fileSystem_.SameFile(*output, input)) {
                    Refuse(Error(ErrorKind::Output, *output, "the output is the input " + input));
                }
            }
            Expected<std::unique_ptr<OutputFile>> opened = fileSystem_.OpenOutput(*output);
            if (!opened) {
                Refuse(opened.error());
            }
            outputFile = std::move(*opened);
        }
        RmpWriter writer(outputFile ? static_cast<File&>(*outputFile) : discard, 256 * 1024);
        Write(writer);
        writer.Flush();
        if (outputFile) {
            if (Expected<void> committed = outputFile->Commit(); !committed) {
                Refuse(committed.error());
            }
        }
        TiledImportSummary summary;
        summary.layers = layers_.size();
        summary.width = static_cast<std::uint32_t>(width_);
        summary.height = static_cast<std::uint32_t>(height_);
        summary.tiles = static_cast<std::uint32_t>(tileset_.count + (usesEmptyTile_ ? 1 : 0));
        summary.entities = entities_.size();
        summary.zones = zones_.size();
        return summary;
    }

private:
    void ReadMap(const Place& place) {
        if (!map_.is_object()) {
            place.Fail("not a Tiled map (not a JSON object)");
        }
        if (const Json* type = Find(map_, "type"); type != nullptr && *type != "map") {
            place.Fail("not a Tiled map (its type is " + type->dump() + ")");
        }
        if (const std::string orientation = Text(map_, "orientation", place, "orthogonal");
            orientation != "orthogonal") {
            place.Fail("the map is " + orientation + "; only orthogonal maps import");
        }
        if (Flag(map_, "infinite", place, false)) {
            place.Fail("the map is infinite (its layers are chunks); only a map of fixed size imports");
        }
        width_ = Integer(map_, "width", place, 0, kMostSize);
        height_ = Integer(map_, "height", place, 0, kMostSize);
        const Json& tilesets = List(map_, "tilesets", place);
        if (tilesets.size() != 1) {
            place.Fail(tilesets.empty() ? "the map has no tileset"
                                        : "the map uses " + std::to_string(tilesets.size()) +
                                              " tilesets; only a map of one tileset imports");
        }
        const Json& reference = tilesets[0];
        const std::int64_t firstGid = Integer(reference, "firstgid", place.Within("its tileset"), 1, kMostSize);
        if (const Json* source = Find(reference, "source")) {
            if (!source->is_string()) {
                place.Fail("its tileset's source is not text");
            }
            const std::string path = Beside(mapPath_, source->get<std::string>());
            if (!EndsWithIgnoringCase(path, tiled::kTilesetEnding) && !EndsWithIgnoringCase(path, ".json")) {
                place.Fail("its tileset " + source->get<std::string>() +
                           " is not a JSON tileset (.tsj): save the tileset as JSON, or embed it");
            }
            tilesetJson_ = LoadJson(path, fileSystem_);
            tileset_ = ReadTileset(tilesetJson_, path, firstGid, Place{path, ""});
        } else {
            tileset_ = ReadTileset(reference, mapPath_, firstGid, place.Within("its tileset"));
        }
        // An RMP map's cells are its tiles' size; Tiled would draw tiles of another size over several cells.
        const std::int64_t cellWidth = Integer(map_, "tilewidth", place, 0, kMostSize, tileset_.tileWidth);
        const std::int64_t cellHeight = Integer(map_, "tileheight", place, 0, kMostSize, tileset_.tileHeight);
        if (cellWidth != tileset_.tileWidth || cellHeight != tileset_.tileHeight) {
            place.Fail("the map's cells are " + std::to_string(cellWidth) + " x " + std::to_string(cellHeight) +
                       " pixels but its tiles " + std::to_string(tileset_.tileWidth) + " x " +
                       std::to_string(tileset_.tileHeight) + "; an RMP map's cells are its tiles' size");
        }
        const Properties properties(map_, place);
        headerX_ = properties.Int(tiled::kHeaderX, 0, kMost16, 0);
        headerY_ = properties.Int(tiled::kHeaderY, 0, kMost16, 0);
        headerLayer_ = properties.Int(tiled::kHeaderLayer, 0, kMost8, 0);
        headerMode_ = properties.Int(tiled::kHeaderMode, 0, kMost8, 0);
        for (std::size_t i = 0; i < rmp::kStringCount; ++i) {
            strings_[i] = properties.String(rmp::kStringNames[i]).value_or("");
        }
    }

    void ReadLayers(const Json& layers, const Place& place) {
        const Json* entities = nullptr;
        const Json* zones = nullptr;
        std::size_t index = 0;
        for (const Json& layer : layers) {
            const DataSeen seen = index < seen_.size() ? seen_[index] : DataSeen{};
            tileLayerAt_.push_back(kNotTileLayer);
            ++index;
            const std::string name = Text(layer, "name", place.Within("a layer"), "");
            const std::string label = "layer " + Quoted(name);
            const std::string type = Text(layer, "type", place.Within(label));
            if (type == "tilelayer") {
                tileLayerAt_.back() = layers_.size();
                ReadTileLayer(layer, place.Within(label), label, seen);
            } else if (type == "objectgroup" && (name == tiled::kEntitiesLayer || name == tiled::kZonesLayer)) {
                const Json*& slot = name == tiled::kEntitiesLayer ? entities : zones;
                if (slot != nullptr) {
                    place.Fail("two object layers are named " + Quoted(name));
                }
                slot = &layer;
            } else if (type == "objectgroup") {
                place.Fail(label + " is an object layer; only object layers named " + Quoted(tiled::kEntitiesLayer) +
                           " and " + Quoted(tiled::kZonesLayer) + " import");
            } else if (type == "group") {
                place.Fail(label + " is a group layer, which an RMP file can't hold; move its layers out of it");
            } else if (type == "imagelayer") {
                place.Fail(label + " is an image layer, which an RMP file can't hold");
            } else {
                place.Fail(label + " is of type " + Quoted(type) + ", which doesn't import");
            }
        }
        if (layers_.size() > rmp::kMaxLayers) {
            place.Fail("the map has " + std::to_string(layers_.size()) + " tile layers; the RMP format holds at most " +
                           std::to_string(rmp::kMaxLayers),
                       ErrorKind::Limit);
        }
        if (entities != nullptr) {
            ReadEntities(*entities, place.Within("object layer " + Quoted(tiled::kEntitiesLayer)));
        }
        if (zones != nullptr) {
            ReadZones(*zones, place.Within("object layer " + Quoted(tiled::kZonesLayer)));
        }
    }

    void ReadTileLayer(const Json& layer, const Place& place, const std::string& label, const DataSeen& seen) {
        if (Find(layer, "chunks") != nullptr) {
            place.Fail("its cells are in chunks (an infinite map's); only a map of fixed size imports");
        }
        LayerPlan plan;
        plan.json = &layer;
        plan.data = seen;
        plan.label = label;
        plan.dataWidth = Integer(layer, "width", place, 0, kMostSize);
        plan.dataHeight = Integer(layer, "height", place, 0, kMostSize);
        const Properties properties(layer, place);
        plan.width = properties.Int(tiled::kLayerWidth, 0, kMostSize, width_);
        plan.height = properties.Int(tiled::kLayerHeight, 0, kMostSize, height_);
        if (plan.width > kMost16 || plan.height > kMost16) {
            place.Fail("its size is " + std::to_string(plan.width) + " x " + std::to_string(plan.height) +
                           "; an RMP layer is at most 65535 x 65535",
                       ErrorKind::Limit);
        }
        if (plan.width > plan.dataWidth || plan.height > plan.dataHeight) {
            place.Fail("its size " + std::to_string(plan.width) + " x " + std::to_string(plan.height) +
                       " is larger than its data's " + std::to_string(plan.dataWidth) + " x " +
                       std::to_string(plan.dataHeight));
        }
        RmpLayerFields& fields = plan.fields;
        std::optional<std::string> name = properties.Bytes(std::string(tiled::kNameBytes));
        fields.name = name ? std::move(*name) : RmpText(Text(layer, "name", place, ""), place, "its name");
        // Tiled itself reads a layer without "visible" as hidden (and re-saves it so): the import agrees.
        fields.showFlag = Flag(layer, "visible", place, false);
        fields.factorsEnabled = properties.Bool(tiled::kFactorsEnabled, false);
        fields.factorX = properties.Float(tiled::kFactorX, 1.0F);
        fields.factorY = properties.Float(tiled::kFactorY, 1.0F);
        fields.rateX = properties.Float(tiled::kRateX, 0.0F);
        fields.rateY = properties.Float(tiled::kRateY, 0.0F);
        fields.auxFlag = properties.Bool(tiled::kAuxFlag, false);
        plan.segments = ParseSegments(properties.String(tiled::kSegments).value_or(""), place);
        layers_.push_back(std::move(plan));
    }

    void ReadEntities(const Json& layer, const Place& place) {
        std::size_t index = 0;
        for (const Json& object : List(layer, "objects", place)) {
            const Place at = place.Within("object " + std::to_string(++index));
            const Properties properties(object, at);
            EntityPlan entity;
            entity.x = Pixels(object, "x", at, 0, kMost16);
            entity.y = Pixels(object, "y", at, 0, kMost16);
            entity.layer = properties.Int(tiled::kObjectLayer, 0, kMost16, 0);
            entity.kind = properties.Int(tiled::kEntityKind, 0, 3, 0);
            if (entity.kind != rmp::EntityKind(rmp::EntityRecordType(static_cast<std::int32_t>(entity.kind)))) {
                at.Fail("property " + Quoted(tiled::kEntityKind) + " is " + std::to_string(entity.kind) +
                        "; an RMP entity is of kind 0, 2 or 3");
            }
            entity.textA = properties.String(tiled::kTextA).value_or("");
            entity.textB = properties.String(tiled::kTextB).value_or("");
            for (std::size_t i = 0; i < entity.textList.size(); ++i) {
                entity.textList[i] =
                    properties.String(std::string(tiled::kEntityTextList) + std::to_string(i + 1)).value_or("");
            }
            entities_.push_back(std::move(entity));
        }
        if (entities_.size() > kMost16) {
            place.Fail("more than 65535 entities", ErrorKind::Limit);
        }
    }

    void ReadZones(const Json& layer, const Place& place) {
        std::size_t index = 0;
        for (const Json& object : List(layer, "objects", place)) {
            const Place at = place.Within("object " + std::to_string(++index));
            const Properties properties(object, at);
            const std::int64_t x = Pixels(object, "x", at, 0, kMost16);
            const std::int64_t y = Pixels(object, "y", at, 0, kMost16);
            const std::int64_t right = x + Pixels(object, "width", at, 0, kMost16 - x);
            const std::int64_t bottom = y + Pixels(object, "height", at, 0, kMost16 - y);
            const bool reversedX = properties.Bool(tiled::kReversedX, false);
            const bool reversedY = properties.Bool(tiled::kReversedY, false);
            ZonePlan zone;
            zone.values = {static_cast<std::int32_t>(reversedX ? right : x),
                           static_cast<std::int32_t>(reversedY ? bottom : y),
                           static_cast<std::int32_t>(reversedX ? x : right),
                           static_cast<std::int32_t>(reversedY ? y : bottom),
                           static_cast<std::int32_t>(properties.Int(tiled::kObjectLayer, 0, kMost16, 0)),
                           static_cast<std::int32_t>(properties.Int(tiled::kZoneAuxValue, 0, kMost16, 0))};
            zone.text = properties.String(tiled::kZoneText).value_or("");
            zones_.push_back(std::move(zone));
        }
        if (zones_.size() > kMost16) {
            place.Fail("more than 65535 zones", ErrorKind::Limit);
        }
    }

    void Write(RmpWriter& writer) {
        std::array<std::string_view, rmp::kStringCount> strings;
        std::copy(strings_.begin(), strings_.end(), strings.begin());
        writer.Head(static_cast<std::int32_t>(headerX_), static_cast<std::int32_t>(headerY_),
                    static_cast<std::int32_t>(headerLayer_), static_cast<std::int32_t>(headerMode_), layers_.size(),
                    entities_.size(), zones_.size(), strings);
        writer_ = &writer;
        MapEvents cells(*this, layerLists_);
        mapFile_->Parse(cells);
        CloseLayersBefore(layers_.size());
        for (const EntityPlan& entity : entities_) {
            std::array<std::string_view, rmp::kEntityStringCount> textList;
            std::copy(entity.textList.begin(), entity.textList.end(), textList.begin());
            writer.Entity(static_cast<std::int32_t>(entity.x), static_cast<std::int32_t>(entity.y),
                          static_cast<std::int32_t>(entity.layer), static_cast<std::int32_t>(entity.kind),
                          entity.textA, entity.textB, textList);
        }
        for (const ZonePlan& zone : zones_) {
            writer.Zone(zone.values, zone.text);
        }
        WriteTileset(writer.Out());
    }

    // The second parse's: each tile layer's cells go to the RMP writer as they arrive, the layers before it closed
    // first (those whose data never came fail as they would have).
    bool Open(std::size_t index, std::size_t member) override {
        if (index >= tileLayerAt_.size() || tileLayerAt_[index] == kNotTileLayer || index >= seen_.size() ||
            member != seen_[index].members) {
            return false;
        }
        OpenCells(tileLayerAt_[index]);
        return true;
    }
    void Cell(const Json& gid) override {
        open_->stream.Take(static_cast<std::uint32_t>(WholeNumber(gid, open_->place, "a gid", 0, 0xFFFFFFFF)));
    }

    // The layer's data: a JSON list of gids, or base64 of their little-endian bytes, maybe zlib- or gzip-compressed.
    // Its length, as the first parse saw it, is checked against the layer's size before any cell is taken.
    void OpenCells(std::size_t index) {
        CloseLayersBefore(index);
        const LayerPlan& layer = layers_[index];
        const Place place{mapPath_, layer.label};
        const std::uint64_t cells = static_cast<std::uint64_t>(layer.dataWidth) * static_cast<std::uint64_t>(layer.dataHeight);
        const std::string size = std::to_string(layer.dataWidth) + " x " + std::to_string(layer.dataHeight);
        if (layer.data.kind == DataSeen::Kind::Missing) {
            place.Fail("no data");
        }
        if (layer.data.kind == DataSeen::Kind::List) {
            if (layer.data.cells != cells) {
                place.Fail("its data holds " + Counted(layer.data.cells, "cell") + "; its size " + size + " needs " +
                           std::to_string(cells));
            }
        } else {
            if (layer.data.kind != DataSeen::Kind::Text || Text(*layer.json, "encoding", place, "") != "base64") {
                place.Fail("its data is neither a list of gids nor base64 text");
            }
            const std::string compression = Text(*layer.json, "compression", place, "");
            if (compression != "" && compression != "zlib" && compression != "gzip") {
                place.Fail("its data is " + compression + "-compressed; only uncompressed, zlib and gzip data import");
            }
            if (compression.empty() && layer.data.textBytes / 4 * 3 > cells * 4 + 3) {
                place.Fail("its data holds more than its size " + size + " needs");
            }
        }
        writer_->BeginLayer(layer.fields, static_cast<std::int32_t>(layer.width), static_cast<std::int32_t>(layer.height),
                            static_cast<std::uint32_t>(layer.segments.size()));
        open_ = std::make_unique<CellsOpen>(layer, tileset_, writer_->Out(), mapPath_, usesEmptyTile_);
        nextLayer_ = index + 1;
    }

    // Ends the open layer with its segments, and each later one before index, which got no data.
    void CloseLayersBefore(std::size_t index) {
        for (;;) {
            if (open_) {
                const LayerPlan& layer = open_->layer;
                const std::uint64_t cells =
                    static_cast<std::uint64_t>(layer.dataWidth) * static_cast<std::uint64_t>(layer.dataHeight);
                if (open_->stream.Taken() != cells) {  // the file changed since it was first read
                    open_->place.Fail("its data holds " + Counted(open_->stream.Taken(), "cell") + "; its size " +
                                      std::to_string(layer.dataWidth) + " x " + std::to_string(layer.dataHeight) +
                                      " needs " + std::to_string(cells));
                }
                for (const auto& [x1, y1, x2, y2] : layer.segments) {
                    writer_->LayerSegment(x1, y1, x2, y2);
                }
                open_.reset();
            }
            if (nextLayer_ >= index) {
                return;
            }
            OpenCells(nextLayer_);
        }
    }

    // A layer's base64 text, decoded (and inflated) whole but taken in blocks.
    void CellsText(const std::string& text) override {
        const LayerPlan& layer = open_->layer;
        const Place& place = open_->place;
        const std::uint64_t cells = static_cast<std::uint64_t>(layer.dataWidth) * static_cast<std::uint64_t>(layer.dataHeight);
        const std::string size = std::to_string(layer.dataWidth) + " x " + std::to_string(layer.dataHeight);
        const std::string compression = Text(*layer.json, "compression", place, "");
        CellStream& stream = open_->stream;
        const std::optional<std::vector<std::uint8_t>> bytes = DecodeBase64(text);
        if (!bytes) {
            place.Fail("its data is not valid base64");
        }
        std::uint64_t taken = 0;
        std::uint8_t carry[4];
        const auto take = [&](const std::uint8_t* block, std::size_t count) -> Expected<void> {
            if (taken + count > cells * 4) {
                return Error(mapPath_, layer.label + ": its data holds more than its size " + size + " needs");
            }
            for (std::size_t i = 0; i < count; ++i) {
                carry[taken++ % 4] = block[i];
                if (taken % 4 == 0) {
                    stream.Take(LoadU32(carry));
                }
            }
            return Success();
        };
        if (compression.empty()) {
            if (bytes->size() != cells * 4) {
                place.Fail("its data holds " + std::to_string(bytes->size()) + " bytes; its size " + size + " needs " +
                           std::to_string(cells * 4));
            }
            if (Expected<void> fed = take(bytes->data(), bytes->size()); !fed) {
                Refuse(fed.error());
            }
        } else {
            const std::string_view compressed(reinterpret_cast<const char*>(bytes->data()), bytes->size());
            Expected<void> inflated =
                Inflate(compressed, compression == "zlib" ? Compression::Zlib : Compression::Gzip, take, mapPath_,
                        layer.label + "'s data");
            if (!inflated) {
                Refuse(inflated.error());
            }
        }
        if (taken != cells * 4) {
            place.Fail("its data holds " + std::to_string(taken) + " bytes; its size " + size + " needs " +
                       std::to_string(cells * 4));
        }
    }

    // The tiles as an RTS tileset: the picture cut into tiles in index order, the extra transparent tile when an
    // empty cell used it, then each tile's information and segments.
    void WriteTileset(BufferedWriter& out) {
        const TiledTileset& t = tileset_;
        const std::int64_t rows = t.count == 0 ? 0 : (t.count + t.columns - 1) / t.columns;
        const std::int64_t needWidth = t.margin + t.columns * (t.tileWidth + t.spacing) - t.spacing;
        const std::int64_t needHeight = t.margin + rows * (t.tileHeight + t.spacing) - t.spacing;
        const std::size_t rowBytes = static_cast<std::size_t>(t.tileWidth) * 4;
        WriteRtsHeader(out, static_cast<std::uint32_t>(t.count + (usesEmptyTile_ ? 1 : 0)),
                       static_cast<std::uint32_t>(t.tileWidth), static_cast<std::uint32_t>(t.tileHeight));
        if (t.count > 0) {
            const auto sizeCheck = [&](std::uint32_t width, std::uint32_t height) -> Expected<void> {
                const std::string needs = "; the tileset's " + Counted(t.count, "tile") + " of " +
                                          std::to_string(t.tileWidth) + " x " + std::to_string(t.tileHeight) + " in " +
                                          Counted(t.columns, "column") + " need ";
                if ((t.imageWidth && *t.imageWidth != width) || (t.imageHeight && *t.imageHeight != height)) {
                    return Error(t.imagePath, "the picture is " + std::to_string(width) + " x " +
                                                  std::to_string(height) + " pixels; the tileset " + t.path +
                                                  " says " + std::to_string(t.imageWidth.value_or(width)) + " x " +
                                                  std::to_string(t.imageHeight.value_or(height)));
                }
                // Tiled counts a tileset's columns from its picture's width: beyond the last column, less than one
                // more tile (and the margin) may be left over; so below the last row.
                if (width < needWidth || height < needHeight ||
                    width >= needWidth + t.margin + t.tileWidth + t.spacing ||
                    height >= needHeight + t.margin + t.tileHeight + t.spacing) {
                    return Error(t.imagePath, "the picture is " + std::to_string(width) + " x " +
                                                  std::to_string(height) + " pixels" + needs +
                                                  std::to_string(needWidth) + " x " + std::to_string(needHeight));
                }
                // Allocated here, under libpng, where nothing may throw.
                try {
                    band_.assign(static_cast<std::size_t>(t.tileHeight) * width * 4, 0);
                    row_.resize(rowBytes);
                } catch (const std::bad_alloc&) {
                    return Error(ErrorKind::System, t.imagePath, "out of memory for a row of tiles");
                }
                bandWidth_ = width;
                return Success();
            };
            // The picture's rows of one row of tiles gather in the band; when its last comes, its tiles go out in
            // index order, which is the RTS file's.
            const auto takeRow = [&](std::uint32_t y, const std::uint8_t* row) -> Expected<void> {
                const std::int64_t from = static_cast<std::int64_t>(y) - t.margin;
                const std::int64_t tileRow = from < 0 ? rows : from / (t.tileHeight + t.spacing);
                const std::int64_t inTile = from < 0 ? 0 : from % (t.tileHeight + t.spacing);
                if (tileRow >= rows || inTile >= t.tileHeight) {
                    return Success();
                }
                std::memcpy(band_.data() + static_cast<std::size_t>(inTile) * bandWidth_ * 4, row,
                            std::size_t{bandWidth_} * 4);
                if (inTile == t.tileHeight - 1) {
                    WriteTileRow(out, tileRow);
                }
                return Success();
            };
            if (Expected<void> read = ReadPng(t.imagePath, fileSystem_, sizeCheck, takeRow); !read) {
                Refuse(read.error());
            }
            if (tilesWritten_ != t.count) {
                Refuse(Error(t.imagePath, "the picture gave " + Counted(tilesWritten_, "tile") + " of " +
                                              std::to_string(t.count)));
            }
        }
        if (usesEmptyTile_) {
            out.PutZeros(rowBytes * static_cast<std::size_t>(t.tileHeight));
        }
        for (std::int64_t i = 0; i < t.count; ++i) {
            const auto found = t.extras.find(i);
            if (found == t.extras.end()) {
                WriteRtsInfo(out, false, 0, 0, 0);
                continue;
            }
            const TileExtra& extra = found->second;
            WriteRtsInfo(out, extra.flag, static_cast<std::uint32_t>(extra.valueA),
                         static_cast<std::uint32_t>(extra.valueB), static_cast<std::uint32_t>(extra.segments.size()));
            for (const auto& [x1, y1, x2, y2] : extra.segments) {
                WriteRtsSegment(out, static_cast<std::uint32_t>(x1), static_cast<std::uint32_t>(y1),
                                static_cast<std::uint32_t>(x2), static_cast<std::uint32_t>(y2));
            }
        }
        if (usesEmptyTile_) {
            WriteRtsInfo(out, false, 0, 0, 0);
        }
    }

    // The tiles of one row of the tileset's picture, from the band: each tile's rows, the colour key made transparent.
    void WriteTileRow(BufferedWriter& out, std::int64_t tileRow) {
        const TiledTileset& t = tileset_;
        const std::size_t rowBytes = static_cast<std::size_t>(t.tileWidth) * 4;
        for (std::int64_t column = 0; column < t.columns && tileRow * t.columns + column < t.count; ++column) {
            ++tilesWritten_;
            const std::size_t left = static_cast<std::size_t>(t.margin + column * (t.tileWidth + t.spacing));
            for (std::int64_t y = 0; y < t.tileHeight; ++y) {
                std::memcpy(row_.data(), band_.data() + (static_cast<std::size_t>(y) * bandWidth_ + left) * 4, rowBytes);
                if (t.transparent) {
                    for (std::size_t p = 0; p < rowBytes; p += 4) {
                        if (std::equal(t.transparent->begin(), t.transparent->end(), row_.data() + p)) {
                            row_[p + 3] = 0;
                        }
                    }
                }
                out.PutBytes(row_.data(), rowBytes);
            }
        }
    }

    static constexpr std::size_t kNotTileLayer = std::numeric_limits<std::size_t>::max();

    const std::string& mapPath_;
    FileSystem& fileSystem_;
    std::unique_ptr<JsonFile> mapFile_;
    std::vector<DataSeen> seen_;  // of each layer of the map's "layers" list
    std::size_t layerLists_ = 0;  // "layers" members of the map: the last is the list
    std::vector<std::size_t> tileLayerAt_;  // each layer's index among the tile layers
    RmpWriter* writer_ = nullptr;
    std::unique_ptr<CellsOpen> open_;
    std::size_t nextLayer_ = 0;
    Json map_;
    Json tilesetJson_;
    TiledTileset tileset_;
    std::int64_t width_ = 0;
    std::int64_t height_ = 0;
    std::int64_t headerX_ = 0;
    std::int64_t headerY_ = 0;
    std::int64_t headerLayer_ = 0;
    std::int64_t headerMode_ = 0;
    std::array<std::string, rmp::kStringCount> strings_;
    std::vector<LayerPlan> layers_;
    std::vector<EntityPlan> entities_;
    std::vector<ZonePlan> zones_;
    bool usesEmptyTile_ = false;
    std::vector<std::uint8_t> band_;  // one row of tiles of the picture, tile height rows
    std::uint32_t bandWidth_ = 0;
    std::vector<std::uint8_t> row_;
    std::int64_t tilesWritten_ = 0;
};

}  // namespace

bool IsTiledMapPath(const std::string& path) {
    return EndsWithIgnoringCase(path, tiled::kMapEnding) || EndsWithIgnoringCase(path, tiled::kMapEndingAlso);
}

Expected<TiledImportSummary> ImportTiledMap(const std::string& mapPath, FileSystem& fileSystem,
                                            const std::optional<std::string>& output) {
    try {
        return Import(mapPath, fileSystem).Run(output);
    } catch (const Refusal& refusal) {
        return refusal.error;
    } catch (const std::bad_alloc&) {
        return Error(ErrorKind::System, mapPath, "out of memory");
    } catch (const Json::exception& error) {
        return Error(mapPath, std::string("unexpected JSON: ") + error.what());
    }
}

std::string DescribeImport(const TiledImportSummary& summary) {
    return Counted(summary.layers, "layer") + ", " + std::to_string(summary.width) + " x " +
           std::to_string(summary.height) + " cells, " + Counted(summary.tiles, "tile") + ", " +
           Counted(summary.entities, "entity", "entities") + ", " + Counted(summary.zones, "zone");
}

}  // namespace gridport
