// The VSP tileset: a version word, a palette of 256 six-bit RGB entries, a tile count, then 16 x 16 palette indices per
// tile, plain (version 2) or run-length compressed (every other version).

#include <algorithm>

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "tileset/VspReader.h"

namespace gridport {

// The VSP layout; offsets count from the file's start.
namespace vsp {

constexpr std::size_t kHeaderSize = 772;
constexpr std::size_t kPaletteOffset = 2;
constexpr std::size_t kCountOffset = 770;
constexpr std::uint16_t kPlainVersion = 2;
constexpr std::uint64_t kStreamPrefixSize = 4;
constexpr std::uint8_t kRunMarker = 0xFF;
constexpr std::uint64_t kRunItemSize = 3;
constexpr std::uint64_t kLongestRun = 255;

}  // namespace vsp

Expected<std::uint16_t> VspReader::ReadHeader() {
    std::uint8_t header[vsp::kHeaderSize];
    if (Expected<void> read = in_.Read(header, sizeof header, Sized(sizeof header, "VSP header")); !read) {
        return read.error();
    }
    // Index 0 is transparent; the others take their six-bit components times four, within eight bits, and are opaque.
    const std::uint8_t* entries = header + vsp::kPaletteOffset;
    for (std::size_t i = 1; i < palette_.size(); ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            palette_[i][c] = static_cast<std::uint8_t>(entries[3 * i + c] << 2);
        }
        palette_[i][3] = 255;
    }
    const std::uint16_t tileCount = LoadU16(header + vsp::kCountOffset);
    left_ = std::uint64_t{tileCount} * kTilePixels;
    compressed_ = LoadU16(header) != vsp::kPlainVersion;
    if (compressed_) {
        if (Expected<void> skipped = in_.Skip(vsp::kStreamPrefixSize, "the compressed VSP data"); !skipped) {
            return skipped.error();
        }
    }
    // No stream expands further than a run of 255 per three bytes.
    const std::uint64_t rest = in_.Remaining();
    const std::uint64_t most = compressed_ ? rest / vsp::kRunItemSize * vsp::kLongestRun + rest % vsp::kRunItemSize : rest;
    if (left_ > most) {
        return in_.Fail(vsp::kCountOffset, "the header counts " + Counted(tileCount, "tile") + " of " +
                                          std::to_string(kTilePixels) + " pixels, but the " + Counted(rest, "byte") +
                                          " left hold at most " + Counted(most, "pixel"));
    }
    return tileCount;
}

Expected<void> VspReader::ReadIndices(std::size_t tile, std::uint8_t* indices) {
    if (!compressed_) {
        return in_.Read(indices, kTilePixels, "tile " + std::to_string(tile));
    }
    for (std::size_t k = 0; k < kTilePixels;) {
        if (runLeft_ > 0) {
            const auto run = static_cast<std::size_t>(std::min<std::uint64_t>(runLeft_, kTilePixels - k));
            std::fill_n(indices + k, run, runValue_);
            k += run;
            runLeft_ -= run;
            continue;
        }
        const std::uint64_t position = in_.Position();
        std::uint8_t byte = 0;
        std::uint8_t length = 0;
        if (!in_.ReadU8(byte, "a pixel") ||
            (byte == vsp::kRunMarker && (!in_.ReadU8(length, "a run") || !in_.ReadU8(runValue_, "a run")))) {
            return in_.Fail(position, "tile " + std::to_string(tile) + " ends after " + std::to_string(k) +
                                          " of its " + std::to_string(kTilePixels) + " pixels");
        }
        if (byte != vsp::kRunMarker) {
            indices[k++] = byte;
            --left_;
            continue;
        }
        runLeft_ = std::min<std::uint64_t>(length, left_);  // A run that would carry past the last tile is cut there.
        left_ -= runLeft_;
    }
    return Success();
}

Expected<void> VspReader::ReadTile(std::size_t tile, std::uint8_t* rgba) {
    std::uint8_t indices[kTilePixels];
    if (Expected<void> read = ReadIndices(tile, indices); !read) {
        return read;
    }
    for (std::size_t k = 0; k < kTilePixels; ++k, rgba += kBytesPerPixel) {
        std::copy_n(palette_[indices[k]].data(), kBytesPerPixel, rgba);
    }
    return Success();
}

}  // namespace gridport
