#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tileset/SegmentList.h"

namespace gridport {

// A named grid of 32-bit tile indices with its factors, rates, flags and
// segments. Cell (x, y) is tiles[y * width + x]; tiles always holds
// width * height cells.
struct MapLayer {
    std::string name;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> tiles;
    bool factorsEnabled = false;
    float factorX = 1.0F;
    float factorY = 1.0F;
    float rateX = 0.0F;
    float rateY = 0.0F;
    bool showFlag = true;
    bool auxFlag = false;
    SegmentList segments;
};

}  // namespace gridport
