#pragma once

#include <cstddef>

namespace gridport {

// Tiles are handed on as rows of pixels of the four bytes red, green, blue, alpha, whatever their file.
constexpr std::size_t kBytesPerPixel = 4;

}  // namespace gridport
