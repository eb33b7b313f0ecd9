#include "tileset/RtsReader.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "tileset/RtsLayout.h"

namespace gridport {

using namespace rts;

Expected<RtsHeader> RtsReader::ReadHeader() {
    const std::uint64_t start = in_.Position();
    std::uint8_t bytes[kHeaderSize];
    if (Expected<void> read = in_.Read(bytes, sizeof bytes, Sized(sizeof bytes, "RTS header")); !read) {
        return read.error();
    }
    if (std::memcmp(bytes, kSignature, sizeof kSignature) != 0) {
        return in_.Fail(start, "not an RTS tileset file: it does not start with \".rts\"");
    }
    const std::uint16_t version = LoadU16(bytes + kVersionOffset);
    if (version != kVersion) {
        return in_.Fail(start + kVersionOffset, "the header field version is " + std::to_string(version) +
                                                    "; only version " + std::to_string(kVersion) + " is known");
    }
    const std::uint16_t bits = LoadU16(bytes + kBitsOffset);
    if (bits != kBitsPerPixel) {
        return in_.Fail(start + kBitsOffset, "the header field bits per pixel is " + std::to_string(bits) +
                                                 "; it must be " + std::to_string(kBitsPerPixel));
    }
    header_.tileCount = LoadU16(bytes + kCountOffset);
    header_.tileWidth = LoadU16(bytes + kWidthOffset);
    header_.tileHeight = LoadU16(bytes + kHeightOffset);
    header_.segmentData = bytes[kSegmentFlagOffset] != 0;
    return header_;
}

Expected<void> RtsReader::ReadPixels(std::size_t tile, const ByteVisitor& visit) {
    const std::uint64_t bytes = header_.TileBytes();
    if (bytes > in_.Remaining()) {
        return in_.Fail(in_.Position(), "tile " + std::to_string(tile) + " needs " + Counted(bytes, "byte") +
                                            " of pixels, " + std::to_string(in_.Remaining()) +
                                            (in_.Remaining() == 1 ? " is left" : " are left"));
    }
    for (std::uint64_t left = bytes; left > 0;) {
        if (Expected<void> filled = in_.Fill([tile] { return "the pixels of tile " + std::to_string(tile); });
            !filled) {
            return filled;
        }
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, in_.BufferedSize()));
        visit(in_.BufferedData(), piece);
        in_.Take(piece);
        left -= piece;
    }
    return Success();
}

Expected<void> RtsReader::ReadInfo(std::size_t tile, RtsTileInfo& info) {
    const auto what = [tile] { return "tile " + std::to_string(tile); };
    std::uint8_t block[kInfoBlockSize];
    if (Expected<void> read = in_.Read(block, sizeof block, [&] { return "the information block of " + what(); });
        !read) {
        return read;
    }
    info.infoFlag = block[kInfoFlagOffset] != 0;
    info.infoValueA = LoadU16(block + kInfoValueAOffset);
    info.infoValueB = LoadU16(block + kInfoValueBOffset);
    info.segments.clear();
    if (!header_.segmentData) {
        return Success();
    }
    if (block[kSegmentTypeOffset] == kSegmentsAsPixelMask) {
        return in_.Skip(header_.TilePixels(), "the segment mask of " + what());
    }
    if (block[kSegmentTypeOffset] != kSegmentsAsList) {
        return Success();
    }
    const std::uint16_t count = LoadU16(block + kSegmentCountOffset);
    if (Expected<void> need = in_.Need(std::uint64_t{count} * kSegmentRecordSize,
                                       "the segment list of " + what() + " (" + Counted(count, "segment") + ")");
        !need) {
        return need;
    }
    info.segments.resize(count);
    for (std::array<std::uint16_t, 4>& segment : info.segments) {
        std::uint8_t record[kSegmentRecordSize];
        if (Expected<void> read = in_.Read(record, sizeof record, [&] { return "a segment of " + what(); });
            !read) {
            return read;
        }
        segment = {LoadU16(record), LoadU16(record + 2), LoadU16(record + 4), LoadU16(record + 6)};
    }
    return Success();
}

}  // namespace gridport
