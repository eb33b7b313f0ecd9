// The RTS records as written: a 256-byte header, every tile's pixels, then each tile's 32-byte block and segments.

#include <cstring>

#include "filesystem/BufferedWriter.h"
#include "base/ByteOrder.h"
#include "tileset/RtsLayout.h"
#include "tileset/RtsWriter.h"

namespace gridport {

using namespace rts;

void WriteRtsHeader(BufferedWriter& out, std::uint32_t tileCount, std::uint32_t tileWidth, std::uint32_t tileHeight) {
    std::uint8_t header[kHeaderSize] = {};
    std::memcpy(header, kSignature, sizeof kSignature);
    StoreU16(header + kVersionOffset, kVersion);
    StoreU16(header + kCountOffset, tileCount);
    StoreU16(header + kWidthOffset, tileWidth);
    StoreU16(header + kHeightOffset, tileHeight);
    StoreU16(header + kBitsOffset, kBitsPerPixel);
    header[kSegmentFlagOffset] = 1;
    out.PutBytes(header, sizeof header);
}

void WriteRtsInfo(BufferedWriter& out, bool infoFlag, std::uint32_t infoValueA, std::uint32_t infoValueB,
                  std::uint32_t segmentCount) {
    std::uint8_t block[kInfoBlockSize] = {};
    block[kInfoFlagOffset] = infoFlag ? 1 : 0;
    StoreU16(block + kInfoValueAOffset, infoValueA);
    StoreU16(block + kInfoValueBOffset, infoValueB);
    block[kSegmentTypeOffset] = kSegmentsAsList;
    StoreU16(block + kSegmentCountOffset, segmentCount);
    out.PutBytes(block, sizeof block);
}

void WriteRtsSegment(BufferedWriter& out, std::uint32_t x1, std::uint32_t y1, std::uint32_t x2, std::uint32_t y2) {
    out.PutU16(x1);
    out.PutU16(y1);
    out.PutU16(x2);
    out.PutU16(y2);
}

}  // namespace gridport
