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

// The one walker of the RTS tileset file, from a reader's position: the header, every tile's pixels in index order,
// then every tile's information. Loading, passing through into RMP and reading back from RMP all use it. Nothing is
// allocated for a count before its bytes are known to be there.
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
