#pragma once

#include <cstdint>
#include <vector>

namespace gridport {

// A rectangle of 32-bit pixels, each the four bytes red, green, blue, alpha,
// row by row: pixel (x, y) starts at byte 4 * (y * width + x).
class RgbaImage {
public:
    static constexpr std::size_t kBytesPerPixel = 4;

    RgbaImage() = default;
    // Every byte 0: transparent black. Negative sizes count as 0.
    RgbaImage(std::int32_t width, std::int32_t height);

    // Deep copy; the pixel array is reused when the pixel counts agree.
    void Assign(const RgbaImage& other);
    // Every pixel opaque black.
    void Clear();
    // Keeps the top-left overlap; new pixels are opaque black. A size with no
    // pixels, or one that can't be allocated, leaves the image as it was.
    void Resize(std::int32_t width, std::int32_t height);

    std::size_t PixelCount() const { return pixels.size() / kBytesPerPixel; }

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;
    std::int32_t tag = 1;
};

}  // namespace gridport
