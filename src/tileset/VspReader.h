#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "filesystem/BufferedReader.h"
#include "base/Error.h"
#include "tileset/Rgba.h"

namespace gridport {

// The one VSP reader: the header, then tiles one at a time as RGBA, plain or run-length (a run may cross tiles).
class VspReader {
public:
    static constexpr std::int32_t kTileSide = 16;
    static constexpr std::size_t kTilePixels = kTileSide * kTileSide;
    static constexpr std::size_t kTileBytes = kTilePixels * kBytesPerPixel;

    explicit VspReader(BufferedReader& in) : in_(in) {}

    // Reads the header, gives the tile count and checks that the rest of the file can hold the tiles it counts.
    Expected<std::uint16_t> ReadHeader();
    // The next tile, as kTileBytes bytes of RGBA pixels.
    Expected<void> ReadTile(std::size_t tile, std::uint8_t* rgba);

private:
    Expected<void> ReadIndices(std::size_t tile, std::uint8_t* indices);

    BufferedReader& in_;
    std::array<std::array<std::uint8_t, kBytesPerPixel>, 256> palette_{};
    bool compressed_ = false;
    // Pixels of the compressed stream not yet expanded, and what is left of a run that spans tiles.
    std::uint64_t left_ = 0;
    std::uint64_t runLeft_ = 0;
    std::uint8_t runValue_ = 0;
};

}  // namespace gridport
