#include "map/MapLayer.h"

#include <algorithm>
#include <new>


namespace gridport {

bool MapLayer::Resize(std::int32_t newWidth, std::int32_t newHeight) {
    if (newWidth < 0 || newHeight < 0) {
        return false;
    }
    if (newWidth == width && newHeight == height) {
        return true;
    }
    const auto columns = static_cast<std::size_t>(newWidth);
    std::vector<std::uint32_t> resized;
    // Counted in 64 bits: in a 32-bit process the product can wrap around.
    const std::uint64_t cells = std::uint64_t{columns} * static_cast<std::uint64_t>(newHeight);
    if (cells > resized.max_size()) {
        return false;
    }
    try {
        resized.resize(static_cast<std::size_t>(cells));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t kept = std::min(columns, static_cast<std::size_t>(width));
    const std::int32_t keptRows = std::min(newHeight, height);
    for (std::int32_t y = 0; y < keptRows; ++y) {
        const auto old = tiles.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * width);
        std::copy(old, old + static_cast<std::ptrdiff_t>(kept),
                  resized.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * columns));
    }
    width = newWidth;
    height = newHeight;
    tiles.swap(resized);
    return true;
}

}  // namespace gridport
