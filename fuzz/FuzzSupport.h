#pragma once

// What the fuzz targets and their seed generator share: the checks that end
// a run with a report, and the layout of the whole-conversion input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/Builders.h"

namespace gridport::test {

// A broken promise ends the run, which libFuzzer and the replay test report.
inline void Require(bool holds, const std::string& fault) {
    if (!holds) {
        std::fprintf(stderr, "fuzz check failed: %s\n", fault.c_str());
        std::abort();
    }
}

// The whole conversion's input: bit 0 of byte 0 chooses a VSP tileset (1) or
// an RTS tileset file (0), bytes 1 and 2 give the MAP file's length, the MAP
// file follows and the tileset is the rest. Lengths past the end are cut.
struct ConversionInput {
    Bytes map;
    Bytes tileset;
    bool vsp = false;

    std::string TilesetPath() const { return vsp ? "tiles.vsp" : "tiles.rts"; }
};

inline ConversionInput SplitConversionInput(const std::uint8_t* data, std::size_t size) {
    ConversionInput input;
    if (size < 3) {
        return input;
    }
    input.vsp = (data[0] & 1) != 0;
    const std::size_t mapSize = std::min<std::size_t>(data[1] | (data[2] << 8), size - 3);
    input.map.assign(data + 3, data + 3 + mapSize);
    input.tileset.assign(data + 3 + mapSize, data + size);
    return input;
}

inline Bytes JoinConversionInput(const ConversionInput& input) {
    ByteBuilder out;
    out.U8(input.vsp ? 1 : 0).U16(static_cast<std::uint32_t>(input.map.size())).Raw(input.map).Raw(input.tileset);
    return out.bytes;
}

}  // namespace gridport::test
