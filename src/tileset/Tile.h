#pragma once

#include <cstdint>

#include "tileset/RgbaImage.h"
#include "tileset/SegmentList.h"

namespace gridport {

// One tileset entry: its pixels, the three values of the RTS tile
// information block and its segments.
struct Tile {
    RgbaImage image;
    bool infoFlag = false;
    std::int32_t infoValueA = 0;
    std::int32_t infoValueB = 0;
    SegmentList segments;
};

}  // namespace gridport
