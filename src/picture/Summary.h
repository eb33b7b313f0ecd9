#pragma once

#include <cstdint>
#include <vector>

namespace gridport {

// The distinct 16-bit cell values of a layer, as the viewers' summaries count them.
struct DistinctCells {
    std::vector<bool> seen = std::vector<bool>(65536, false);
    std::uint64_t count = 0;

    void Add(std::uint16_t value) {
        count += seen[value] ? 0 : 1;
        seen[value] = true;
    }
};

}  // namespace gridport
