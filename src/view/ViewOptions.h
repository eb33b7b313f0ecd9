#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"

namespace gridport {

// The options rmpview and mapview share, parsed by base/CommandLine.h: "-" alone is standard input, or standard output
// for the picture. As in tmxrasterizer, one more operand after the inputs may name the picture instead of --png.
struct ViewOptions {
    std::vector<std::string> operands;
    std::optional<std::string> png;
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

// The options, when the arguments make sense for a command that takes between minInputs and maxInputs inputs (and,
// after maxInputs of them, the picture's name), otherwise why not, in one line (ErrorKind::Usage). With --help or
// --version the operands aren't checked. A picture's name must end in ".png" (or be "-").
Expected<ViewOptions> ParseViewOptions(const std::vector<std::string>& arguments, std::size_t minInputs,
                                       std::size_t maxInputs);

extern const char* const kViewOptionsHelp;  // The lines of --help that describe the shared options.

}  // namespace gridport
