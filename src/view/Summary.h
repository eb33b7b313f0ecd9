#pragma once

#include <string>

#include <cstdint>
#include <vector>

#include "rmp/RmpDocument.h"
#include "rmp/RmpReader.h"

namespace gridport {

// A short account of a read RMP file, several lines ending in a line break:
// the header values, the strings that aren't empty, one line per layer, the
// entity and zone counts and the tileset's tile size and count. Bytes that
// don't print are shown as \xNN.
std::string Summarize(const std::string& path, const RmpDocument& document);

// What one pass over a layer's cells finds.
struct LayerCount {
    std::uint64_t distinct = 0;
    std::uint64_t beyond = 0;  // cells at or beyond the tile count
};

// The same account of a file read as a stream: its outline, each layer's
// counts and the tileset's tile size and count.
std::string Summarize(const std::string& path, const RmpOutline& outline, const std::vector<LayerCount>& counts,
                      std::uint32_t tileWidth, std::uint32_t tileHeight, std::uint32_t tileCount);

}  // namespace gridport
