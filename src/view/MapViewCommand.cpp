#include "view/MapViewCommand.h"

#include <algorithm>
#include <optional>

#include "base/CommandLine.h"
#include "convert/Conversion.h"
#include "convert/Pairing.h"
#include "base/ByteOrder.h"
#include "filesystem/FolderCache.h"
#include "mapfile/MapReader.h"
#include "tiled/TiledExport.h"
#include "view/StandardStreams.h"
#include "picture/Summary.h"
#include "view/ViewCommand.h"
#include "picture/Wording.h"

namespace gridport {

namespace {

const ViewCommandText kMapViewText{
    "mapview",
    "Usage: mapview [options] MAP [TILESET] [OUT.png | OUT.tmj]\n",
    "Summarises a MAP file: its version, header values and texts, the tileset name\n"
    "stored in it, and each layer's size, distinct tiles and largest index. Then it\n"
    "describes the TILESET, or without one the tileset found by the name the map\n"
    "stores (in the map's folder, then each --tilesets folder, letter case ignored,\n"
    "as gridport-batch pairs them), and says whether gridport converts the pair, or\n"
    "why not. With --png or OUT.png (a last operand ending in .png) it draws the map\n"
    "as gridport would write it: every layer, since a converted map's layers are all\n"
    "shown, unless the options below choose others. A map that doesn't convert is\n"
    "drawn too, cells beyond the tileset marked magenta with a black cross. With\n"
    "OUT.tmj (or OUT.json) it exports the converted map to a Tiled map instead, as\n"
    "rmpview exports gridport's RMP file of it: OUT.tmj, STEM.tsj and STEM.png.\n",
    "  --tilesets DIR           without a TILESET: look for the map's tileset in DIR too,\n"
    "                           after the map's folder (repeatable, searched in order)\n"
    "\n"
    "Exit status: 0 the files read (and, with a tileset given or found, gridport\n"
    "converts them; a summary that finds no tileset says so), 1 they don't (the\n"
    "reason is on standard error; a picture is drawn all the same when the map's\n"
    "layers and the tileset read), 2 wrong usage.\n",
    1,
    2,
    true,
};

// The line that says which tileset a MAP alone was paired with.
const char* const kFound = "tileset found by the name stored in the map: ";

std::string Header(const std::string& path, const MapDescription& map) {
    std::string text = path + ": MAP file, version " + std::to_string(map.version) + "\n";
    text += "header: x " + std::to_string(map.headerX) + ", y " + std::to_string(map.headerY);
    if (map.headerMode) {
        text += ", mode " + std::to_string(*map.headerMode);
    }
    text += "\n";
    text += "tileset name stored in the map: " + Quoted(map.linkedFileName) + "\n";
    if (map.version == 2) {
        text += "layer order: " + Quoted(map.layerOrder) + "\n";
    }
    return text;
}

// What becomes of a file layer in the map: the map layers it fills.
std::string Fate(const MapDescription& map, std::size_t fileLayer) {
    std::vector<std::size_t> places;
    for (std::size_t i = 0; i < map.outputLayers.size(); ++i) {
        if (map.outputLayers[i] == fileLayer) {
            places.push_back(i);
        }
    }
    if (places.empty()) {
        return "dropped: the layer order doesn't name it";
    }
    std::string text = places.size() == 1 ? "map layer " : "repeated as map layers ";
    for (std::size_t i = 0; i < places.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == places.size() ? " and " : ", ") + std::to_string(places[i]);
    }
    return text;
}

// The summary, as the conversion's pass reads the map: the header, then a line for each file layer as its cells are
// counted, then the map's layers. It reads on past a cell beyond the tileset; a layer cut short ends it.
class MapSummary final : public FormatCheck, CellSink {
public:
    explicit MapSummary(const std::string& path) : FormatCheck(path), path_(path) {}

    const std::string& Text() const { return text_; }
    const std::optional<TilesetHeader>& Tileset() const { return tileset_; }

    void Begin(const MapDescription& map, const TilesetHeader* tileset) override {
        FormatCheck::Begin(map, tileset);
        map_ = &map;
        if (tileset != nullptr) {
            tileset_ = *tileset;
        }
        text_ = Header(path_, map) + "file layers: " + std::to_string(map.fileLayers.size()) + "\n";
        if (map.fileLayers.empty()) {
            Close();
        }
    }
    bool ReadsEverything() const override { return true; }
    CellSink* Layer(std::size_t, const MapFileLayer&) override {
        distinct_ = DistinctCells();
        return this;
    }
    std::uint8_t* Block() override { return block_.data(); }
    void Filled(std::size_t count, std::uint16_t) override {
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint16_t value = LoadU16(block_.data() + 2 * k);
            distinct_.Add(value);
        }
    }
    void LayerDone(std::size_t index, std::uint16_t largest) override {
        const MapFileLayer& layer = map_->fileLayers[index];
        text_ += "  layer " + std::to_string(index) + " " + Quoted(layer.name) + ": " + std::to_string(layer.width) +
                 " x " + std::to_string(layer.height) + ", " +
                 Counted(distinct_.count, "distinct tile", "distinct tiles");
        if (layer.CellCount() > 0) {
            text_ += ", largest index " + std::to_string(largest);
        }
        text_ += map_->version == 2 ? "; " + Fate(*map_, index) + "\n" : "\n";
        if (index + 1 == map_->fileLayers.size()) {
            Close();
        }
    }

private:
    // The lines after the last layer.
    void Close() {
        if (map_->version == 2) {
            text_ += "map layers: " + std::to_string(map_->outputLayers.size()) + "\n";
        }
        if (!map_->headerLayer) {
            text_ += "header layer: not set by the map (stays 0)\n";
        } else {
            text_ += "header layer: " + std::to_string(*map_->headerLayer) +
                     (map_->version == 2 ? " (file layer number, set by \"E\" in the layer order)\n"
                                         : " (set by the header's layer selector)\n");
        }
    }

    std::string path_;
    const MapDescription* map_ = nullptr;
    std::optional<TilesetHeader> tileset_;
    std::string text_;
    DistinctCells distinct_;
    std::vector<std::uint8_t> block_ = std::vector<std::uint8_t>(2 * kBlockCells);
};

std::string TilesetLine(const std::string& path, const TilesetHeader& tileset) {
    return "tileset: " + path + ": " + (tileset.kind == TilesetKind::Vsp ? "VSP tileset, " : "RTS tileset file, ") +
           Counted(static_cast<std::uint64_t>(tileset.tileCount), "tile", "tiles") + " of " +
           std::to_string(tileset.tileWidth) + " x " + std::to_string(tileset.tileHeight) + " pixels\n";
}

// The map as gridport writes it, from the MAP file as a stream: each drawn file layer is decoded a row at a time by
// its own reader, once however often repeated. Empty version-1 foreground cells draw nothing; cells beyond, the mark.
class StreamedMap final : public PictureSource, CellSink {
public:
    StreamedMap(MapReader& map, TileLevels tiles) : map_(map), tiles_(std::move(tiles)) {
        const MapDescription& description = map.Description();
        for (const std::size_t fileLayer : description.outputLayers) {
            const MapFileLayer& layer = description.fileLayers[fileLayer];
            layers_.push_back(Layer{layer.name, true, layer.width, layer.height});
        }
        cursors_.resize(description.fileLayers.size());
    }

    const std::vector<Layer>& Layers() const override { return layers_; }
    const TileLevels& Tiles() const override { return tiles_; }
    bool MarksBeyond() const override { return true; }

    Expected<const std::uint32_t*> Row(std::size_t layer, std::size_t row) override {
        const MapDescription& description = map_.Description();
        const std::size_t fileLayer = description.outputLayers[layer];
        Cursor& cursor = cursors_[fileLayer];
        if (cursor.row && *cursor.row == row) {
            return cursor.cells.data();
        }
        if (cursor.in == nullptr) {
            Expected<std::unique_ptr<BufferedReader>> in = map_.OpenLayer(fileLayer);
            if (!in) {
                return in.error();
            }
            cursor.in = std::move(*in);
            cursor.decoder = std::make_unique<LayerDecoder>(*cursor.in, description.fileLayers[fileLayer],
                                                            description.version);
        }
        const auto width = static_cast<std::size_t>(layers_[layer].width);
        const bool foreground = description.ZeroIsEmpty(fileLayer);
        for (std::size_t next = cursor.row ? *cursor.row + 1 : 0; next <= row; ++next) {
            while (cursor.pending.size() - cursor.taken < 2 * width) {
                pending_ = &cursor;
                if (Expected<void> decoded = cursor.decoder->Next(*this); !decoded) {
                    return decoded.error();
                }
            }
            if (next == row) {
                cursor.cells.resize(width);
                LoadU16s(cursor.pending.data() + cursor.taken, width, cursor.cells.data());
                for (std::uint32_t& cell : cursor.cells) {
                    cell = foreground && cell == 0 ? kNoTile : cell;
                }
            }
            cursor.taken += 2 * width;
        }
        cursor.row = row;
        return cursor.cells.data();
    }

    std::uint8_t* Block() override {
        block_.resize(2 * kBlockCells);
        return block_.data();
    }
    void Filled(std::size_t count, std::uint16_t) override {
        std::vector<std::uint8_t>& pending = pending_->pending;
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(pending_->taken));
        pending_->taken = 0;
        pending.insert(pending.end(), block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(2 * count));
    }

private:
    struct Cursor {
        std::unique_ptr<BufferedReader> in;
        std::unique_ptr<LayerDecoder> decoder;
        std::vector<std::uint8_t> pending;  // Decoded cells as the file's bytes, the first `taken` of them drawn.
        std::size_t taken = 0;
        std::optional<std::size_t> row;
        std::vector<std::uint32_t> cells;
    };

    MapReader& map_;
    TileLevels tiles_;
    std::vector<Layer> layers_;
    std::vector<Cursor> cursors_;
    Cursor* pending_ = nullptr;
    std::vector<std::uint8_t> block_;
};

// The reason with what the tileset's first bytes show, when its name chose the other reader (looks is then set).
Error WithKindHint(const Error& error, const std::string& tilesetPath, std::optional<TilesetKind> looks) {
    if (!looks) {
        return error;
    }
    const std::string subject = error.Path() == tilesetPath ? "this" : "the tileset " + tilesetPath;
    const std::string message =
        error.Message() + "; " + subject +
        (*looks == TilesetKind::Rts ? " looks like an RTS tileset file"
                                    : " may be a VSP tileset, which is read as one only by a name ending in .vsp");
    const Error hinted = error.Offset() ? Error(error.Path(), *error.Offset(), message) : Error(error.Path(), message);
    return hinted.As(error.Kind());
}

// The tileset's reduced tiles, read again from its start.
Expected<TileLevels> ReadLevels(File& file, const std::string& path, TilesetKind kind) {
    if (!file.Seek(0)) {
        return Error(path, "cannot read the file again");
    }
    BufferedReader in(file, path);
    TilesetReader reader(in, kind);
    const Expected<TilesetHeader> header = reader.ReadHeader();
    if (!header) {
        return header.error();
    }
    return TileLevels::Read(reader, *header);
}

}  // namespace

int RunMapView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err,
               std::FILE* progress) {
    ViewConsole console{out, err, progress};
    return RunViewCommand(kMapViewText, arguments, console, [&](const ViewOptions& options) -> Expected<void> {
        const std::string& mapPath = options.operands[0];
        std::optional<std::string> tilesetPath;
        if (options.operands.size() == 2) {
            tilesetPath = options.operands[1];
            if (!options.tilesetFolders.empty()) {
                return UsageError("--tilesets is where to look for the map's tileset: it can't go with the TILESET");
            }
            if (mapPath == kStandardStream && *tilesetPath == kStandardStream) {
                return UsageError("only one input can be standard input");
            }
        }
        // Each input is opened once; a picture reads them again from there.
        const auto open = [&](const std::string& path) {
            return options.png ? OpenSeekable(path, fileSystem, kMostKeptInput) : fileSystem.Open(path, OpenMode::Read);
        };
        Expected<std::unique_ptr<File>> mapFile = open(mapPath);
        if (!mapFile) {
            return mapFile.error();
        }
        MapReader map(**mapFile, mapPath);
        MapSummary summary(mapPath);
        // Without a TILESET, the one the map names, found as gridport-batch finds it. A map whose header doesn't read
        // names none; the pass below says why.
        std::optional<Error> notFound;
        const bool finding = !tilesetPath;
        if (finding && map.ReadHeader()) {
            FolderCache cache;
            const Expected<std::string> found =
                FindTileset(mapPath, map.Description().linkedFileName, options.tilesetFolders, cache);
            if (found) {
                // A file named "-" beside the map is that file, not standard input.
                tilesetPath = *found == kStandardStream ? "./-" : *found;
                if (options.png || options.tiled) {
                    console.err += std::string(kMapViewText.name) + ": note: " + kFound + *tilesetPath + "\n";
                }
            } else {
                notFound = found.error();
            }
        }
        if (!tilesetPath) {
            if (options.png || options.tiled) {
                const Expected<void> header = map.ReadHeader();
                return notFound ? Error(notFound->Path(), notFound->Message() + "; name the TILESET to " +
                                                              (options.png ? "draw" : "export") + " the map")
                                : header.error();
            }
            const Expected<void> read = RunConversion(map, std::nullopt, summary);
            out += summary.Text();
            if (!read) {
                return read.error();
            }
            out += std::string(kFound) + "none; " + notFound->Message() + "\n";
            out += "the MAP file reads; its tile indices are checked against a TILESET, given or found\n";
            return Success();
        }
        // The kind by the name, as gridport tells it; by the first bytes only where there is no name.
        const bool unnamed = *tilesetPath == kStandardStream;
        TilesetKind kind = TilesetKindOf(*tilesetPath);
        std::optional<TilesetKind> looks;  // what the first bytes show, when the name says otherwise
        Expected<std::unique_ptr<File>> tilesetFile = open(*tilesetPath);
        std::optional<BufferedReader> tilesetIn;
        std::optional<TilesetInput> tileset;
        std::optional<Error> tilesetFailure;
        if (!tilesetFile) {
            tilesetFailure = tilesetFile.error();
        } else {
            BufferedReader& in = tilesetIn.emplace(**tilesetFile, *tilesetPath);
            const Expected<TilesetKind> content = TilesetKindOfContent(in);
            if (!content) {
                tilesetFailure = content.error();
            } else {
                kind = unnamed ? *content : kind;
                if (*content != kind) {
                    looks = *content;
                }
                tileset.emplace(TilesetInput{in, kind});
            }
        }
        // The export is the conversion's, into a Tiled map instead of an RMP file.
        if (options.tiled) {
            tiled::TiledOutput output(*options.tiled, fileSystem, mapPath, *tilesetPath);
            const Expected<void> converted = RunConversion(map, tileset, output, tilesetFailure);
            if (!converted) {
                return WithKindHint(converted.error(), *tilesetPath, looks);
            }
            return output.Commit();
        }
        // A picture is all that --png writes; it may go to standard output.
        Expected<void> verdict = RunConversion(map, tileset, summary, tilesetFailure);
        if (!options.png) {
            out += summary.Text();
            if (finding) {
                out += std::string(kFound) + *tilesetPath + "\n";
            }
            if (summary.Tileset()) {
                out += TilesetLine(*tilesetPath, *summary.Tileset());
            }
        }
        if (verdict) {
            verdict = summary.Result();
        }
        if (!verdict) {
            verdict = WithKindHint(verdict.error(), *tilesetPath, looks);
        } else if (looks == TilesetKind::Rts) {
            console.err += std::string(kMapViewText.name) + ": note: " + *tilesetPath +
                           " looks like an RTS tileset file; its name makes gridport read it as a VSP tileset\n";
        }
        if (!options.png) {
            if (!verdict) {
                return verdict.error();
            }
            out += "gridport converts it\n";
            return Success();
        }
        // A map that doesn't convert is still drawn if its layers and tileset header read: the picture shows the fault.
        if (!verdict && (!summary.Tileset() || map.Description().outputLayers.empty())) {
            return verdict.error();
        }
        Expected<TileLevels> tiles = ReadLevels(**tilesetFile, *tilesetPath, kind);
        Expected<void> drawn = tiles ? Success() : Expected<void>(tiles.error());
        if (drawn) {
            StreamedMap picture(map, std::move(*tiles));
            // The tileset found is an input too: a picture named as it is refused.
            drawn = DrawToPng(picture, {mapPath, *tilesetPath}, options, fileSystem, console, kMapViewText.name);
        }
        // The verdict's failure, then the picture's when it failed too, for another reason.
        if (!verdict && !drawn && drawn.error().Text() != verdict.error().Text()) {
            ReportError(kMapViewText, console, verdict.error());
        }
        return drawn ? verdict : drawn;
    });
}

}  // namespace gridport
