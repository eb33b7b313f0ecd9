#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"

namespace gridport {

// The options rmpview and mapview share, parsed by base/CommandLine.h: "-" alone is standard input, or standard output
// for the picture. As in tmxrasterizer, one more operand after the inputs may name the picture instead of --png, and
// so does, without --png, a last operand ending in ".png" after the inputs that must be given (mapview MAP OUT.png).
struct ViewOptions {
    std::vector<std::string> operands;
    std::optional<std::string> png;
    std::optional<std::string> tiled;  // the Tiled map to export to: an output ending in .tmj or .json
    std::vector<std::string> tilesetFolders;  // --tilesets, for a command that looks for the tileset
    std::optional<double> scale;
    std::optional<std::uint32_t> fitWidth;  // --size WxH or N, both set or neither
    std::optional<std::uint32_t> fitHeight;
    std::vector<std::size_t> layers;
    std::vector<std::string> showLayers;
    std::vector<std::string> hideLayers;
    bool ignoreVisibility = false;
    bool help = false;
    bool version = false;
};

// The options for a command of minInputs to maxInputs inputs (then the picture's name), or a one-line Usage error.
// --help and --version skip the operand checks. A picture's name must end in ".png" (or be "-"). --tilesets is known
// only with findsTilesets.
Expected<ViewOptions> ParseViewOptions(const std::vector<std::string>& arguments, std::size_t minInputs,
                                       std::size_t maxInputs, bool findsTilesets = false);

extern const char* const kViewOptionsHelp;  // The lines of --help that describe the shared options.

}  // namespace gridport
