#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace gridport {

// An entity record that a map refers to. Kind 2 is written with all seven
// strings, kind 3 with textA alone, any other kind with no data.
struct MapEntity {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t layer = 0;
    std::int32_t kind = 0;
    std::string textA;
    std::string textB;
    std::array<std::string, 5> textList;
};

}  // namespace gridport
