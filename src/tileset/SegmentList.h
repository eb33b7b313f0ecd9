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
class SegmentList {
public:
    std::int32_t Count() const { return static_cast<std::int32_t>(segments_.size()); }
    // The caller keeps index within 0 to Count() - 1.
    const Segment& At(std::int32_t index) const { return segments_[static_cast<std::size_t>(index)]; }
    void Append(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
        segments_.push_back(Segment{x1, y1, x2, y2});
    }

    bool operator==(const SegmentList&) const = default;

private:
    std::vector<Segment> segments_;
};

}  // namespace gridport
