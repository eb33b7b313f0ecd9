#pragma once

#include <cstdint>
#include <vector>

namespace gridport {

struct Segment {
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;

    bool operator==(const Segment&) const = default;
};

// Segments in the order they were appended.
using SegmentList = std::vector<Segment>;

}  // namespace gridport
