#include "tileset/RgbaImage.h"

#include <algorithm>
#include <new>

namespace gridport {

namespace {

constexpr std::uint8_t kOpaqueBlack[RgbaImage::kBytesPerPixel] = {0, 0, 0, 255};

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

void FillOpaqueBlack(std::uint8_t* begin, std::uint8_t* end) {
    for (std::uint8_t* p = begin; p < end; p += RgbaImage::kBytesPerPixel) {
        std::copy(kOpaqueBlack, kOpaqueBlack + RgbaImage::kBytesPerPixel, p);
    }
}

}  // namespace

RgbaImage::RgbaImage(std::int32_t width, std::int32_t height)
    : width(std::max(width, 0)), height(std::max(height, 0)), pixels(PixelBytes(width, height)) {}

void RgbaImage::Assign(const RgbaImage& other) {
    if (&other == this) {
        return;
    }
    if (other.pixels.size() == pixels.size()) {
        std::copy(other.pixels.begin(), other.pixels.end(), pixels.begin());
    } else {
        pixels = other.pixels;
    }
    width = other.width;
    height = other.height;
    tag = other.tag;
}

void RgbaImage::Clear() {
    FillOpaqueBlack(pixels.data(), pixels.data() + pixels.size());
}

void RgbaImage::Resize(std::int32_t newWidth, std::int32_t newHeight) {
    std::vector<std::uint8_t> resized;
    try {
        const std::size_t bytes = PixelBytes(newWidth, newHeight);
        if (bytes == 0) {
            return;
        }
        resized.resize(bytes);
    } catch (const std::bad_alloc&) {
        return;
    }
    const auto newRow = static_cast<std::size_t>(newWidth) * kBytesPerPixel;
    const auto oldRow = static_cast<std::size_t>(width) * kBytesPerPixel;
    const std::size_t keptRow = std::min(newRow, oldRow);
    for (std::int32_t y = 0; y < newHeight; ++y) {
        std::uint8_t* row = resized.data() + static_cast<std::size_t>(y) * newRow;
        std::size_t kept = 0;
        if (y < height) {
            kept = keptRow;
            const std::uint8_t* old = pixels.data() + static_cast<std::size_t>(y) * oldRow;
            std::copy(old, old + kept, row);
        }
        FillOpaqueBlack(row + kept, row + newRow);
    }
    width = newWidth;
    height = newHeight;
    pixels.swap(resized);
}

}  // namespace gridport
