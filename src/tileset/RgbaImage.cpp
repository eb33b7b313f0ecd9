#include "tileset/RgbaImage.h"

#include <algorithm>
#include <new>
#include <vector>

namespace gridport {

namespace {

// Counted in 64 bits: in a 32-bit process 32768 x 32768 pixels would wrap
// around to no bytes at all. A size no vector can hold throws like a failed
// allocation.
std::size_t PixelBytes(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * RgbaImage::kBytesPerPixel;
    if (bytes > std::vector<std::uint8_t>().max_size()) {
        throw std::bad_alloc();
    }
    return static_cast<std::size_t>(bytes);
}

}  // namespace

RgbaImage::RgbaImage(std::int32_t width, std::int32_t height)
    : width(std::max(width, 0)), height(std::max(height, 0)), pixels(PixelBytes(width, height)) {}

}  // namespace gridport
