#pragma once

#include <cstdint>
#include <vector>

namespace gridport {

// A rectangle of 32-bit pixels, each the four bytes red, green, blue, alpha,
// row by row: pixel (x, y) starts at byte 4 * (y * width + x).
struct RgbaImage {
    static constexpr std::size_t kBytesPerPixel = 4;

    RgbaImage() = default;
    // Every byte 0: transparent black. Negative sizes count as 0; a size no
    // vector can hold throws std::bad_alloc, as a failed allocation does.
    RgbaImage(std::int32_t width, std::int32_t height);

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;
};

}  // namespace gridport
