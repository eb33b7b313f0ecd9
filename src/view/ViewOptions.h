#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/Error.h"

namespace gridport {

// The options rmpview and mapview share, parsed in the getopt_long manner:
// "--name value" and "--name=value", "-h" and "-V", "--" ends the options,
// and "-" alone is an operand (standard input, or standard output for --png).
struct ViewOptions {
    std::vector<std::string> operands;
    std::optional<std::string> png;
    std::optional<double> scale;
    std::optional<std::uint32_t> fitWidth;  // --size WxH, both set or neither
    std::optional<std::uint32_t> fitHeight;
    std::optional<std::size_t> layer;
    std::vector<std::string> showLayers;
    std::vector<std::string> hideLayers;
    bool ignoreVisibility = false;
    bool help = false;
    bool version = false;
};

// The options, when the arguments make sense for a command that takes
// between minOperands and maxOperands operands, otherwise why not, in one
// line. With --help or --version the operands aren't checked.
Expected<ViewOptions> ParseViewOptions(const std::vector<std::string>& arguments, std::size_t minOperands,
                                       std::size_t maxOperands);

// The lines of --help that describe the shared options.
extern const char* const kViewOptionsHelp;

}  // namespace gridport
