#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rmp/RmpReader.h"

namespace gridport {

// Which of the 65536 cell values a layer holds: each counted once.
class DistinctCells {
public:
    void Add(std::uint16_t value) {
        count_ += seen_[value] ? 0 : 1;
        seen_[value] = true;
    }
    std::uint64_t Count() const { return count_; }
    void Clear() {
        seen_.assign(seen_.size(), false);
        count_ = 0;
    }

private:
    std::vector<bool> seen_ = std::vector<bool>(65536, false);
    std::uint64_t count_ = 0;
};

// What one pass over a layer's cells finds.
struct LayerCount {
    std::uint64_t distinct = 0;
    std::uint64_t beyond = 0;  // cells at or beyond the tile count
};

// A short account of a read RMP file, several lines ending in a line break:
// the header values, the strings that aren't empty, one line per layer, the
// entity and zone counts and the tileset's tile size and count. Bytes that
// don't print are shown as \xNN.
std::string Summarize(const std::string& path, const RmpOutline& outline, const std::vector<LayerCount>& counts,
                      std::uint32_t tileWidth, std::uint32_t tileHeight, std::uint32_t tileCount);

}  // namespace gridport
