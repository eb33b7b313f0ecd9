#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "base/Error.h"

namespace gridport {

struct RtsHeader {
    std::uint16_t tileCount = 0;
    std::uint16_t tileWidth = 0;
    std::uint16_t tileHeight = 0;
    bool segmentData = false;

    std::uint64_t TilePixels() const { return std::uint64_t{tileWidth} * tileHeight; }
    std::uint64_t TileBytes() const { return TilePixels() * 4; }
};

// One tile's information block and segments, as the file holds them.
struct RtsTileInfo {
    bool infoFlag = false;
    std::uint16_t infoValueA = 0;
    std::uint16_t infoValueB = 0;
    std::vector<std::array<std::uint16_t, 4>> segments;
};

using ByteVisitor = std::function<void(const std::uint8_t* bytes, std::size_t count)>;

// The one RTS walker (loading, passing into RMP, reading back from RMP), from a reader's position: the header, tile
// pixels in index order, then tile information. Nothing is allocated for a count before its bytes are known there.
class RtsReader {
public:
    explicit RtsReader(BufferedReader& in) : in_(in) {}

    Expected<RtsHeader> ReadHeader();
    // One tile's pixels, handed to visit in blocks straight from the reader.
    Expected<void> ReadPixels(std::size_t tile, const ByteVisitor& visit);
    Expected<void> ReadInfo(std::size_t tile, RtsTileInfo& info);

private:
    BufferedReader& in_;
    RtsHeader header_;
};

}  // namespace gridport
