#pragma once

#include <cstdint>

#include "filesystem/BufferedWriter.h"

namespace gridport {

// The RTS records: header, every tile's pixels, every tile's information and segments. Values keep their low 16 bits.
void WriteRtsHeader(BufferedWriter& out, std::uint32_t tileCount, std::uint32_t tileWidth, std::uint32_t tileHeight);
void WriteRtsInfo(BufferedWriter& out, bool infoFlag, std::uint32_t infoValueA, std::uint32_t infoValueB,
                  std::uint32_t segmentCount);
void WriteRtsSegment(BufferedWriter& out, std::uint32_t x1, std::uint32_t y1, std::uint32_t x2, std::uint32_t y2);

}  // namespace gridport
