#include "tileset/RtsReader.h"

#include <algorithm>
#include <cstring>

#include "filesystem/ByteOrder.h"
#include "filesystem/Counted.h"
#include "tileset/RtsLayout.h"

namespace gridport {

using namespace rts;

bool RtsReader::ReadHeader(RtsHeader& header, Error& error) {
    const std::uint64_t start = in_.Position();
    std::uint8_t bytes[kHeaderSize];
    if (!in_.Read(bytes, sizeof bytes, path_, "the 256-byte RTS header", error)) {
        return false;
    }
    if (std::memcmp(bytes, kSignature, sizeof kSignature) != 0) {
        return error.Fail(path_, start, "not an RTS tileset file: it does not start with \".rts\"");
    }
    const std::uint16_t version = LoadU16(bytes + kVersionOffset);
    if (version != kVersion) {
        return error.Fail(path_, start + kVersionOffset,
                          "the header field version is " + std::to_string(version) + "; only version 1 is known");
    }
    const std::uint16_t bits = LoadU16(bytes + kBitsOffset);
    if (bits != kBitsPerPixel) {
        return error.Fail(path_, start + kBitsOffset,
                          "the header field bits per pixel is " + std::to_string(bits) + "; it must be 32");
    }
    header_.tileCount = LoadU16(bytes + kCountOffset);
    header_.tileWidth = LoadU16(bytes + kWidthOffset);
    header_.tileHeight = LoadU16(bytes + kHeightOffset);
    header_.segmentData = bytes[kSegmentFlagOffset] != 0;
    header = header_;
    return true;
}

bool RtsReader::ReadPixels(std::size_t tile, const ByteVisitor& visit, Error& error) {
    const std::uint64_t bytes = header_.TileBytes();
    if (bytes > in_.Remaining()) {
        return error.Fail(path_, in_.Position(),
                          "tile " + std::to_string(tile) + " needs " + Counted(bytes, "byte") + " of pixels, " +
                              std::to_string(in_.Remaining()) + (in_.Remaining() == 1 ? " is left" : " are left"));
    }
    for (std::uint64_t left = bytes; left > 0;) {
        const std::uint64_t position = in_.Position();
        if (!in_.Fill()) {
            return error.Fail(path_, position, "cannot read the pixels of tile " + std::to_string(tile));
        }
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, in_.BufferedSize()));
        visit(in_.BufferedData(), piece);
        in_.Take(piece);
        left -= piece;
    }
    return true;
}

bool RtsReader::ReadInfo(std::size_t tile, RtsTileInfo& info, Error& error) {
    const std::string what = "tile " + std::to_string(tile);
    std::uint8_t block[kInfoBlockSize];
    if (!in_.Read(block, sizeof block, path_, "the information block of " + what, error)) {
        return false;
    }
    info.infoFlag = block[kInfoFlagOffset] != 0;
    info.infoValueA = LoadU16(block + kInfoValueAOffset);
    info.infoValueB = LoadU16(block + kInfoValueBOffset);
    info.segments.clear();
    if (!header_.segmentData) {
        return true;
    }
    if (block[kSegmentTypeOffset] == kSegmentsAsPixelMask) {
        return in_.Skip(header_.TilePixels(), path_, "the segment mask of " + what, error);
    }
    if (block[kSegmentTypeOffset] != kSegmentsAsList) {
        return true;
    }
    const std::uint16_t count = LoadU16(block + kSegmentCountOffset);
    if (!in_.Need(std::uint64_t{count} * kSegmentRecordSize, path_,
                  "the segment list of " + what + " (" + Counted(count, "segment") + ")", error)) {
        return false;
    }
    info.segments.resize(count);
    for (std::array<std::uint16_t, 4>& segment : info.segments) {
        std::uint8_t record[kSegmentRecordSize];
        if (!in_.Read(record, sizeof record, path_, "a segment of " + what, error)) {
            return false;
        }
        segment = {LoadU16(record), LoadU16(record + 2), LoadU16(record + 4), LoadU16(record + 6)};
    }
    return true;
}

}  // namespace gridport
