#pragma once

#include <cstdint>
#include <string>

namespace gridport {

struct MapZone {
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;
    std::int32_t layer = 0;
    std::int32_t auxValue = 0;
    std::string text;
};

}  // namespace gridport
