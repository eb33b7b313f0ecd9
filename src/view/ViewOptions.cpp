#include "view/ViewOptions.h"

#include <string_view>

#include "base/CommandLine.h"
#include "filesystem/ExactName.h"
#include "picture/Picture.h"
#include "picture/PictureSize.h"
#include "tiled/TiledWriter.h"

namespace gridport {

const char* const kViewOptionsHelp =
    "  -h, --help               print this help\n"
    "  -v, -V, --version        print the version\n"
    "  --png OUT.png            draw the picture into OUT.png (\"-\": standard output); OUT.png\n"
    "                           after the inputs does the same\n"
    "  -s, --scale F            with a picture: draw F times the size (0.25 a quarter, 2 twice);\n"
    "                           smaller pictures average the pixels, larger ones repeat them\n"
    "  --size WxH, --size N     with a picture: draw as large as fits within W x H (N x N) pixels\n"
    "  --layer N                with a picture: draw layer N (counted from 0), shown or hidden;\n"
    "                           may be repeated, and picks one of layers that share a name\n"
    "  --show-layer NAME        with a picture: draw only the layers named NAME (letter case\n"
    "                           ignored), shown or hidden; may be repeated\n"
    "  --hide-layer NAME        with a picture: leave out the layers named NAME; hiding wins\n"
    "  --ignore-visibility      with a picture: draw the hidden layers too\n"
    "  --                       ends the options; \"-\" as an input reads standard input\n";

namespace {

// Whole decimal numbers with up to `digits` digits.
std::optional<std::uint64_t> ParseWhole(const std::string& text, std::size_t digits) {
    if (text.empty() || text.size() > digits || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(text);
}

// Takes one option's value; false when it is bad (the parser refuses a repeated option that may be given once).
bool TakeValue(std::string_view name, const std::string& value, ViewOptions& options) {
    if (name == "png") {
        if (value.empty()) {
            return false;
        }
        options.png = value;
    } else if (name == "scale") {
        const Expected<double> scale = ParseScaleFactor(value);
        if (!scale) {
            return false;
        }
        options.scale = *scale;
    } else if (name == "size") {
        const Expected<PictureSize> fit = ParseFitSize(value);
        if (!fit) {
            return false;
        }
        options.fitWidth = static_cast<std::uint32_t>(fit->width);
        options.fitHeight = static_cast<std::uint32_t>(fit->height);
    } else if (name == "layer") {
        const auto layer = ParseWhole(value, 5);  // Layer numbers are below 65536 in either file.
        if (!layer) {
            return false;
        }
        options.layers.push_back(static_cast<std::size_t>(*layer));
    } else if (name == "tilesets") {
        if (value.empty() || value == kStandardStream) {
            return false;
        }
        options.tilesetFolders.push_back(value);
    } else if (name == "ignore-visibility") {
        options.ignoreVisibility = true;
    } else {
        (name == "show-layer" ? options.showLayers : options.hideLayers).push_back(value);
    }
    return true;
}

const std::vector<DeclaredOption> kDeclared{
    {"png", '\0', true},
    {"scale", 's', true},
    {"size", '\0', true},
    {"layer", '\0', true, true},
    {"show-layer", '\0', true, true},
    {"hide-layer", '\0', true, true},
    {"ignore-visibility"},
};

// With mapview's own: the folders searched for the tileset the map names.
const std::vector<DeclaredOption> kDeclaredFindingTilesets = [] {
    std::vector<DeclaredOption> declared = kDeclared;
    declared.push_back({"tilesets", '\0', true, true});
    return declared;
}();

// The drawing options given, by name, for the checks that need --png.
std::string FirstDrawingOption(const ViewOptions& options) {
    if (options.scale) {
        return "--scale";
    }
    if (options.fitWidth) {
        return "--size";
    }
    if (!options.layers.empty()) {
        return "--layer";
    }
    if (!options.showLayers.empty()) {
        return "--show-layer";
    }
    if (!options.hideLayers.empty()) {
        return "--hide-layer";
    }
    return options.ignoreVisibility ? "--ignore-visibility" : "";
}

bool EndsInPng(const std::string& path) {
    return EndsWithIgnoringCase(path, ".png");
}

Expected<void> Check(ViewOptions& options, std::size_t minInputs, std::size_t maxInputs) {
    if (options.help || options.version) {
        return Success();
    }
    if (options.operands.size() < minInputs) {
        return UsageError(minInputs == 1 ? "no input file given" : "too few input files");
    }
    if (options.operands.size() > maxInputs + 1) {
        return UsageError("too many operands");
    }
    if (options.operands.size() == maxInputs + 1) {
        if (options.png && tiled::NamesTiledMap(options.operands.back())) {
            return UsageError("--png draws a picture; the Tiled map '" + options.operands.back() +
                              "' is an export: give one or the other");
        }
        if (options.png) {
            return UsageError("the picture is named twice, by --png and by the operand '" + options.operands.back() +
                              "'");
        }
        (tiled::NamesTiledMap(options.operands.back()) ? options.tiled : options.png) = options.operands.back();
        options.operands.pop_back();
    } else if (!options.png && options.operands.size() > minInputs && tiled::NamesTiledMap(options.operands.back())) {
        // "mapview MAP OUT.tmj": the export, as OUT.png names a picture.
        options.tiled = options.operands.back();
        options.operands.pop_back();
    } else if (!options.png && options.operands.size() > minInputs && EndsInPng(options.operands.back())) {
        // "mapview MAP OUT.png", as tmxrasterizer takes MAP IMAGE: an input so named is given after --png.
        options.png = options.operands.back();
        options.operands.pop_back();
    }
    if (options.png && *options.png != kStandardStream && !EndsInPng(*options.png)) {
        return UsageError("the picture '" + *options.png + "' would be PNG; name it with the ending .png");
    }
    const std::string drawing = FirstDrawingOption(options);
    if (!options.png && !drawing.empty()) {
        return UsageError(drawing + " goes with --png");
    }
    if (options.scale && options.fitWidth) {
        return UsageError("--scale and --size don't go together");
    }
    return Success();
}

}  // namespace

Expected<ViewOptions> ParseViewOptions(const std::vector<std::string>& arguments, std::size_t minInputs,
                                       std::size_t maxInputs, bool findsTilesets) {
    Expected<CommandLine> line = ParseCommandLine(arguments, findsTilesets ? kDeclaredFindingTilesets : kDeclared);
    if (!line) {
        return line.error();
    }
    ViewOptions options;
    options.help = line->help;
    options.version = line->version;
    options.operands = std::move(line->operands);
    for (const GivenOption& given : line->options) {
        if (!TakeValue(given.name, given.value, options)) {
            return UsageError("bad or repeated --" + std::string(given.name) + " '" + given.value + "'");
        }
    }
    if (Expected<void> checked = Check(options, minInputs, maxInputs); !checked) {
        return checked.error();
    }
    return options;
}

}  // namespace gridport
