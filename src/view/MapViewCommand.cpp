#include "view/MapViewCommand.h"

#include <algorithm>
#include <new>

#include "import/MapDescription.h"
#include "map/TileMap.h"
#include "view/StandardStreams.h"
#include "view/ViewCommand.h"
#include "view/Wording.h"

namespace gridport {

namespace {

const ViewCommandText kText{
    "mapview",
    "Usage: mapview [options] MAP [TILESET]\n",
    "Summarises a MAP file: its version, header values and texts, the tileset name\n"
    "stored in it, and each layer's size, distinct tiles and largest index. Given the\n"
    "TILESET too, it describes that and says whether gridport converts the pair, or\n"
    "why not. With --png (TILESET needed) it draws the map as gridport would write it:\n"
    "every layer, since a converted map's layers are all shown, unless the options\n"
    "below choose others.\n",
    "Exit status: 0 the files read (and, given the TILESET, gridport converts them),\n"
    "1 they don't (the reason is on standard error), 2 wrong usage.\n",
    1,
    2,
};

// Cell values are 16 bits.
struct LayerCells {
    std::vector<bool> seen = std::vector<bool>(65536, false);
    std::uint64_t distinct = 0;
    std::uint32_t largest = 0;
};

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

// The map layers, with each file layer's cells counted. False, with the
// reason in error, when a layer's cells don't read; the lines up to it are
// in text.
bool DescribeLayers(File& file, const std::string& path, const MapDescription& map, std::string& text,
                    Error& error) {
    text += "file layers: " + std::to_string(map.fileLayers.size()) + "\n";
    for (std::size_t i = 0; i < map.fileLayers.size(); ++i) {
        const MapFileLayer& layer = map.fileLayers[i];
        LayerCells cells;
        const bool read = VisitLayerCells(
            file, path, map, i,
            [&cells](const std::uint16_t* values, std::size_t count) {
                for (std::size_t k = 0; k < count; ++k) {
                    if (!cells.seen[values[k]]) {
                        cells.seen[values[k]] = true;
                        ++cells.distinct;
                    }
                    cells.largest = std::max<std::uint32_t>(cells.largest, values[k]);
                }
            },
            error);
        if (!read) {
            return false;
        }
        text += "  layer " + std::to_string(i) + " " + Quoted(layer.name) + ": " + std::to_string(layer.width) +
                " x " + std::to_string(layer.height) + ", " + Counted(cells.distinct, "distinct tile", "distinct tiles");
        if (layer.CellCount() > 0) {
            text += ", largest index " + std::to_string(cells.largest);
        }
        text += map.version == 2 ? "; " + Fate(map, i) + "\n" : "\n";
    }
    if (map.version == 2) {
        text += "map layers: " + std::to_string(map.outputLayers.size()) + "\n";
    }
    if (!map.headerLayer) {
        text += "header layer: not set by the map (stays 0)\n";
    } else {
        text += "header layer: " + std::to_string(*map.headerLayer) +
                (map.version == 2 ? " (file layer number, set by \"E\" in the layer order)\n"
                                  : " (set by the header's layer selector)\n");
    }
    return true;
}

// The summary of the MAP file on out; false, with the reason, when the file
// doesn't read.
bool SummarizeMap(const std::string& path, FileSystem& fileSystem, std::string& out, Error& error) {
    const std::unique_ptr<File> file = OpenInput(fileSystem, path, error);
    if (file == nullptr) {
        return false;
    }
    try {
        MapDescription map;
        if (!DescribeMap(*file, path, map, error)) {
            return false;
        }
        out += Header(path, map);
        return DescribeLayers(*file, path, map, out, error);
    } catch (const std::bad_alloc&) {
        return error.Fail(path, "out of memory");
    }
}

std::string TilesetLine(const std::string& path, const TilesetDescription& tileset) {
    return "tileset: " + path + ": " + (tileset.vsp ? "VSP tileset, " : "RTS tileset file, ") +
           Counted(static_cast<std::uint64_t>(tileset.tileCount), "tile", "tiles") + " of " +
           std::to_string(tileset.tileWidth) + " x " + std::to_string(tileset.tileHeight) + " pixels\n";
}

}  // namespace

int RunMapView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err,
               std::FILE* progress) {
    ViewConsole console{out, err, progress};
    ViewOptions options;
    if (const auto status = StartViewCommand(kText, arguments, options, console)) {
        return *status;
    }
    const std::string& mapPath = options.operands[0];
    const bool haveTileset = options.operands.size() == 2;
    if (options.png && !haveTileset) {
        err += "mapview: --png needs the TILESET\n" + std::string(kText.usage);
        return 2;
    }
    if (haveTileset && mapPath == "-" && options.operands[1] == "-") {
        err += "mapview: only one input can be standard input\n" + std::string(kText.usage);
        return 2;
    }
    // A picture is all that --png writes; it may go to standard output.
    std::string summary;
    Error error;
    const bool mapReads = SummarizeMap(mapPath, fileSystem, summary, error);
    if (!options.png) {
        out += summary;
    }
    if (!haveTileset) {
        if (!mapReads) {
            err += "mapview: " + error.Text() + "\n";
            return 1;
        }
        out += "the MAP file reads; the tile indices are checked against a TILESET when one is given\n";
        return 0;
    }
    // The verdict is the conversion's own, whatever the summary found.
    const std::string& tilesetPath = options.operands[1];
    TilesetDescription tileset;
    Error ignored;
    if (!options.png && DescribeTileset(tilesetPath, fileSystem, tileset, ignored)) {
        out += TilesetLine(tilesetPath, tileset);
    }
    error.Clear();
    if (ConvertMap(mapPath, tilesetPath, "", fileSystem, error) != ConversionResult::Converted) {
        err += "mapview: " + error.Text() + "\n";
        return 1;
    }
    if (!options.png) {
        out += "gridport converts it\n";
        return 0;
    }
    TileMap map;
    error.Clear();
    if (!map.ImportMap(mapPath, tilesetPath, fileSystem, error) ||
        !DrawMapToPng(map, options.operands, options, fileSystem, console, kText.name, error)) {
        err += "mapview: " + error.Text() + "\n";
        return 1;
    }
    return 0;
}

}  // namespace gridport
