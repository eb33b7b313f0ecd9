#include "view/ViewOptions.h"

#include <cmath>
#include <cstdlib>

#include "view/Picture.h"

namespace gridport {

const char* const kViewOptionsHelp =
    "  -h, --help               print this help\n"
    "  -V, --version            print the version\n"
    "  --png OUT.png            draw the picture into OUT.png (\"-\": standard output)\n"
    "  --scale F                with --png: draw F times the size (0.25 a quarter, 2 twice);\n"
    "                           smaller pictures average the pixels, larger ones repeat them\n"
    "  --size WxH               with --png: draw as large as fits within W x H pixels\n"
    "  --layer N                with --png: draw layer N alone (counted from 0), shown or hidden\n"
    "  --show-layer NAME        with --png: draw the layers named NAME too (letter case ignored)\n"
    "  --hide-layer NAME        with --png: leave out the layers named NAME (letter case ignored)\n"
    "  --ignore-visibility      with --png: draw the hidden layers too\n"
    "  --                       ends the options; \"-\" as an input reads standard input\n";

namespace {

// Whole decimal numbers with up to `digits` digits.
std::optional<std::uint64_t> ParseWhole(const std::string& text, std::size_t digits) {
    if (text.empty() || text.size() > digits || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(text);
}

std::optional<double> ParseScale(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value) || value <= 0) {
        return std::nullopt;
    }
    return value;
}

// "WxH", each side from 1 to the picture limit.
bool ParseSize(const std::string& text, ViewOptions& options) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) {
        return false;
    }
    const auto width = ParseWhole(text.substr(0, x), 5);
    const auto height = ParseWhole(text.substr(x + 1), 5);
    if (!width || !height || *width == 0 || *height == 0 || *width > kMaxPictureSide || *height > kMaxPictureSide) {
        return false;
    }
    options.fitWidth = static_cast<std::uint32_t>(*width);
    options.fitHeight = static_cast<std::uint32_t>(*height);
    return true;
}

// Takes one option's value; false when it is bad or the option repeats.
bool TakeValue(const std::string& name, const std::string& value, ViewOptions& options) {
    if (name == "--png") {
        if (options.png || value.empty()) {
            return false;
        }
        options.png = value;
    } else if (name == "--scale") {
        if (options.scale) {
            return false;
        }
        options.scale = ParseScale(value);
        return options.scale.has_value();
    } else if (name == "--size") {
        return !options.fitWidth && ParseSize(value, options);
    } else if (name == "--layer") {
        // An RMP file has at most 255 layers.
        const auto layer = ParseWhole(value, 5);
        if (options.layer || !layer) {
            return false;
        }
        options.layer = static_cast<std::size_t>(*layer);
    } else {
        (name == "--show-layer" ? options.showLayers : options.hideLayers).push_back(value);
    }
    return true;
}

bool TakesValue(const std::string& name) {
    for (const char* known : {"--png", "--scale", "--size", "--layer", "--show-layer", "--hide-layer"}) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

// The drawing options given, by name, for the checks that need --png.
std::string FirstDrawingOption(const ViewOptions& options) {
    if (options.scale) {
        return "--scale";
    }
    if (options.fitWidth) {
        return "--size";
    }
    if (options.layer) {
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

Expected<void> Check(const ViewOptions& options, std::size_t minOperands, std::size_t maxOperands) {
    const auto usage = [](std::string problem) { return Error({}, std::move(problem)); };
    if (options.help || options.version) {
        return Success();
    }
    if (options.operands.size() < minOperands) {
        return usage(minOperands == 1 ? "no input file given" : "too few input files");
    }
    if (options.operands.size() > maxOperands) {
        return usage("too many input files");
    }
    const std::string drawing = FirstDrawingOption(options);
    if (!options.png && !drawing.empty()) {
        return usage(drawing + " goes with --png");
    }
    if (options.scale && options.fitWidth) {
        return usage("--scale and --size don't go together");
    }
    if (options.layer && (!options.showLayers.empty() || !options.hideLayers.empty() || options.ignoreVisibility)) {
        return usage("--layer draws one layer alone; it doesn't go with --show-layer, --hide-layer or "
                     "--ignore-visibility");
    }
    return Success();
}

}  // namespace

Expected<ViewOptions> ParseViewOptions(const std::vector<std::string>& arguments, std::size_t minOperands,
                                       std::size_t maxOperands) {
    ViewOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            options.operands.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            options.help = true;
        } else if (argument == "-V" || argument == "--version") {
            options.version = true;
        } else if (argument == "--ignore-visibility") {
            options.ignoreVisibility = true;
        } else {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(0, equals);
            if (!TakesValue(name)) {
                return Error({}, "unknown option '" + argument + "'");
            }
            if (equals == std::string::npos && i + 1 == arguments.size()) {
                return Error({}, name + " needs a value");
            }
            const std::string value = equals == std::string::npos ? arguments[++i] : argument.substr(equals + 1);
            if (!TakeValue(name, value, options)) {
                return Error({}, "bad or repeated " + name + " '" + value + "'");
            }
        }
    }
    if (Expected<void> checked = Check(options, minOperands, maxOperands); !checked) {
        return checked.error();
    }
    return options;
}

}  // namespace gridport
