#pragma once

#include <string>

#include "base/Error.h"
#include "picture/Picture.h"

namespace gridport {

// The values of --size and --scale, as the viewers and gridport-batch take them. A Usage error says what is wanted.

// "WxH" or "N" (N x N): the box a picture is drawn to fit, each side a whole number from 1 to kMaxPictureSide.
Expected<PictureSize> ParseFitSize(const std::string& text);

// A positive decimal number ("0.25", "2"): how many times the full size a picture is drawn.
Expected<double> ParseScaleFactor(const std::string& text);

}  // namespace gridport
