#pragma once

#include <array>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "rmp/RmpLayout.h"

namespace gridport {

// An RMP layer: its header fields and size, its segment count, and where its cells start (its segments follow them).
struct RmpLayerPlace : RmpLayerFields {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t segments = 0;
    std::uint64_t cells = 0;
};

// An RMP file up to its tileset: header, nine strings, layer headers and places, entity and zone counts, entity start.
struct RmpOutline {
    std::uint16_t headerX = 0;
    std::uint16_t headerY = 0;
    std::uint8_t headerLayer = 0;
    std::uint8_t headerMode = 0;
    std::array<std::string, rmp::kStringCount> strings;
    std::vector<RmpLayerPlace> layers;
    std::size_t entities = 0;
    std::size_t zones = 0;
    std::uint64_t records = 0;
};

// Reads an RMP file from the reader's position up to its tileset, checking every count and length against the bytes
// left before allocating, and keeping no grids, segments, entities or zones, so its memory doesn't grow with the file.
// The reader then stands at the tileset. A stream of unknown size is refused: its counts could not be checked.
Expected<RmpOutline> ReadRmpOutline(BufferedReader& in);

}  // namespace gridport
