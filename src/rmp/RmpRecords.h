#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "rmp/RmpLayout.h"

namespace gridport {

// A layer's fields as its header holds them, but its size, which the
// writer is given apart and the reader keeps beside them.
struct RmpLayerFields {
    std::string name;
    bool factorsEnabled = false;
    float factorX = 1.0F;
    float factorY = 1.0F;
    float rateX = 0.0F;
    float rateY = 0.0F;
    bool showFlag = true;
    bool auxFlag = false;

    std::uint16_t Flags() const { return (showFlag ? 0U : rmp::kLayerHidden) | (factorsEnabled ? rmp::kLayerFactorsOn : 0U); }
};

// An entity record. Kind 2 is written with all seven strings, kind 3 with
// textA alone, any other kind with no data (rmp::EntityRecordType).
struct RmpEntity {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t layer = 0;
    std::int32_t kind = 0;
    std::string textA;
    std::string textB;
    std::array<std::string, rmp::kEntityStringCount> textList;
};

// A zone record: its six values in the file's order, then its text.
struct RmpZone {
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;
    std::int32_t layer = 0;
    std::int32_t auxValue = 0;
    std::string text;
};

}  // namespace gridport
