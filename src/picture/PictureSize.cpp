#include "picture/PictureSize.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "base/CommandLine.h"

namespace gridport {

namespace {

// A side: 1 to 5 decimal digits, from 1 to the picture limit.
std::optional<std::uint64_t> ParseSide(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const std::uint64_t side = std::stoull(text);
    if (side == 0 || side > kMaxPictureSide) {
        return std::nullopt;
    }
    return side;
}

}  // namespace

Expected<PictureSize> ParseFitSize(const std::string& text) {
    const std::size_t x = text.find_first_of("xX");
    const auto width = ParseSide(text.substr(0, x));
    const auto height = x == std::string::npos ? width : ParseSide(text.substr(x + 1));
    if (!width || !height) {
        return UsageError("the size must be WxH or N, each side from 1 to " + std::to_string(kMaxPictureSide) +
                          " pixels, not \"" + text + "\"");
    }
    return PictureSize{*width, *height};
}

Expected<double> ParseScaleFactor(const std::string& text) {
    const auto wrong = [&text] { return UsageError("the scale must be a number above 0, not \"" + text + "\""); };
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return wrong();
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value) || value <= 0) {
        return wrong();
    }
    return value;
}

}  // namespace gridport
