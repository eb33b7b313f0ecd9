#include "view/RmpViewCommand.h"

#include <optional>

#include "view/Picture.h"
#include "view/PngWriter.h"
#include "view/RmpReader.h"
#include "view/Summary.h"

namespace gridport {

namespace {

constexpr const char* kUsage = "Usage: rmpview [--png OUT.png [--layer N]] FILE.rmp\n";
constexpr const char* kHelp =
    "Reads an RMP map file, checks every part of it, and prints a summary of it.\n"
    "  --png OUT.png  draw the layers whose show flag is set into OUT.png instead\n"
    "  --layer N      with --png: draw layer N alone (counted from 0), shown or not\n"
    "  --help         print this help\n"
    "Exit status: 0 done, 1 the file could not be read, drawn or written, 2 wrong usage.\n";

struct Options {
    std::string input;
    std::optional<std::string> png;
    std::optional<std::size_t> layer;
    bool help = false;
};

// A layer number: up to five decimal digits (an RMP file has at most 255).
std::optional<std::size_t> ParseLayer(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(std::stoul(text));
}

// Empty when the arguments make sense, otherwise why not.
std::string Parse(const std::vector<std::string>& arguments, Options& options) {
    bool haveInput = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--help") {
            options.help = true;
        } else if (argument == "--png" || argument == "--layer") {
            if (!hasValue) {
                return argument + " needs a value";
            }
            const std::string& value = arguments[++i];
            if (argument == "--png" && !options.png.has_value() && !value.empty()) {
                options.png = value;
            } else if (argument == "--layer" && !options.layer.has_value() && ParseLayer(value).has_value()) {
                options.layer = ParseLayer(value);
            } else {
                return "bad or repeated " + argument + " '" + value + "'";
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            return "unknown option '" + argument + "'";
        } else if (haveInput) {
            return "only one RMP file at a time";
        } else {
            options.input = argument;
            haveInput = true;
        }
    }
    if (options.help) {
        return {};
    }
    if (!haveInput) {
        return "no RMP file given";
    }
    if (options.layer.has_value() && !options.png.has_value()) {
        return "--layer goes with --png";
    }
    return {};
}

}  // namespace

int RunRmpView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err) {
    Options options;
    const std::string problem = Parse(arguments, options);
    if (!problem.empty()) {
        err += "rmpview: " + problem + "\n" + kUsage;
        return 2;
    }
    if (options.help) {
        out += std::string(kUsage) + kHelp;
        return 0;
    }
    std::string error;
    const std::unique_ptr<RmpDocument> document = ReadRmp(options.input, fileSystem, error);
    if (document == nullptr) {
        err += "rmpview: " + error + "\n";
        return 1;
    }
    if (!options.png.has_value()) {
        out += Summarize(options.input, *document);
        return 0;
    }
    RgbaImage picture;
    if (!DrawPicture(document->map, options.layer, picture, error)) {
        err += "rmpview: " + options.input + ": " + error + "\n";
        return 1;
    }
    if (fileSystem.SameFile(*options.png, options.input)) {
        err += "rmpview: " + *options.png + ": the picture may not replace the input file\n";
        return 1;
    }
    if (!WritePng(picture, *options.png, fileSystem)) {
        err += "rmpview: cannot write " + *options.png + "\n";
        return 1;
    }
    return 0;
}

}  // namespace gridport
