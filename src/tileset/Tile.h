#pragma once

#include <cstdint>

#include "tileset/RgbaImage.h"
#include "tileset/SegmentList.h"

namespace gridport {

// One tileset entry: its pixels, the three values of the RTS tile
// information block and its segments.
class Tile {
public:
    // An empty image, as a copy starts before its source is assigned.
    Tile() = default;
    // The blank tile: every pixel opaque black.
    Tile(std::int32_t width, std::int32_t height);

    void Assign(const Tile& other);
    void SetInfoFlag(bool value) { infoFlag = value; }
    void SetInfoValueA(std::int32_t value) { infoValueA = value; }
    void SetInfoValueB(std::int32_t value) { infoValueB = value; }

    RgbaImage image;
    bool infoFlag = false;
    std::int32_t infoValueA = 0;
    std::int32_t infoValueB = 0;
    SegmentList segments;
};

}  // namespace gridport
