// The RTS tileset file: a 256-byte header, the pixels of every tile, then
// each tile's 32-byte information block with its optional segment data.

#include <cstring>
#include <new>

#include "filesystem/BufferedReader.h"
#include "filesystem/BufferedWriter.h"
#include "filesystem/ByteOrder.h"
#include "tileset/RtsLayout.h"
#include "tileset/Tileset.h"

namespace gridport {

namespace {

using namespace rts;

bool ReadInformationSection(BufferedReader& in, bool hasSegmentData, std::uint64_t pixelCount,
                            std::vector<Tile>& tiles) {
    for (Tile& tile : tiles) {
        std::uint8_t block[kInfoBlockSize];
        if (!in.Read(block, sizeof block)) {
            return false;
        }
        tile.SetInfoFlag(block[1] != 0);
        tile.SetInfoValueA(LoadU16(block + 2));
        tile.SetInfoValueB(LoadU16(block + 4));
        if (!hasSegmentData) {
            continue;
        }
        if (block[kSegmentTypeOffset] == kSegmentsAsPixelMask) {
            if (!in.Skip(pixelCount)) {
                return false;
            }
        } else if (block[kSegmentTypeOffset] == kSegmentsAsList) {
            const std::uint16_t count = LoadU16(block + 8);
            if (count * kSegmentRecordSize > in.Remaining()) {
                return false;
            }
            for (std::uint16_t k = 0; k < count; ++k) {
                std::uint8_t record[kSegmentRecordSize];
                if (!in.Read(record, sizeof record)) {
                    return false;
                }
                tile.segments.Append(LoadU16(record), LoadU16(record + 2), LoadU16(record + 4),
                                     LoadU16(record + 6));
            }
        }
    }
    return true;
}

}  // namespace

bool Tileset::Load(const std::string& path, FileSystem& fileSystem) {
    const std::unique_ptr<File> file = fileSystem.Open(path, OpenMode::Read);
    return file != nullptr && Load(*file);
}

bool Tileset::Load(File& file) {
    try {
        BufferedReader in(file);
        std::uint8_t header[kHeaderSize];
        if (!in.Read(header, sizeof header)) {
            return false;
        }
        if (std::memcmp(header, kSignature, sizeof kSignature) != 0 || LoadU16(header + 4) != kVersion ||
            LoadU16(header + 12) != kBitsPerPixel) {
            return false;
        }
        const std::uint16_t count = LoadU16(header + 6);
        const std::uint16_t width = LoadU16(header + 8);
        const std::uint16_t height = LoadU16(header + 10);
        const bool hasSegmentData = header[kSegmentFlagOffset] != 0;
        const std::uint64_t pixelCount = std::uint64_t{width} * height;
        const std::uint64_t pixelBytes = pixelCount * RgbaImage::kBytesPerPixel;
        // Every tile takes at least its pixels and its information block.
        if (count * (pixelBytes + kInfoBlockSize) > in.Remaining()) {
            return false;
        }
        std::vector<Tile> loaded(count);
        for (Tile& tile : loaded) {
            tile.image = RgbaImage(width, height);
            if (!in.Read(tile.image.pixels.data(), tile.image.pixels.size())) {
                return false;
            }
        }
        if (!ReadInformationSection(in, hasSegmentData, pixelCount, loaded)) {
            return false;
        }
        tileWidth = width;
        tileHeight = height;
        tiles.swap(loaded);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool Tileset::FitsRtsFormat() const {
    if (tiles.size() > kFormatLimit || tileWidth < 0 || tileWidth > kFormatLimit || tileHeight < 0 ||
        tileHeight > kFormatLimit) {
        return false;
    }
    // In 64 bits, so that it can't wrap around to a tile's size in a 32-bit process.
    const std::uint64_t pixelBytes =
        static_cast<std::uint64_t>(tileWidth) * static_cast<std::uint64_t>(tileHeight) * RgbaImage::kBytesPerPixel;
    for (const Tile& tile : tiles) {
        if (tile.image.pixels.size() != pixelBytes || tile.segments.Count() > kFormatLimit) {
            return false;
        }
    }
    return true;
}

bool Tileset::Save(File& file) const {
    if (!FitsRtsFormat()) {
        return false;
    }
    try {
        BufferedWriter out(file);
        std::uint8_t header[kHeaderSize] = {};
        std::memcpy(header, kSignature, sizeof kSignature);
        StoreU16(header + 4, kVersion);
        StoreU16(header + 6, static_cast<std::uint32_t>(tiles.size()));
        StoreU16(header + 8, static_cast<std::uint32_t>(tileWidth));
        StoreU16(header + 10, static_cast<std::uint32_t>(tileHeight));
        StoreU16(header + 12, kBitsPerPixel);
        header[kSegmentFlagOffset] = 1;
        out.PutBytes(header, sizeof header);
        for (const Tile& tile : tiles) {
            out.PutBytes(tile.image.pixels.data(), tile.image.pixels.size());
        }
        for (const Tile& tile : tiles) {
            std::uint8_t block[kInfoBlockSize] = {};
            block[1] = tile.infoFlag ? 1 : 0;
            StoreU16(block + 2, static_cast<std::uint32_t>(tile.infoValueA));
            StoreU16(block + 4, static_cast<std::uint32_t>(tile.infoValueB));
            block[kSegmentTypeOffset] = kSegmentsAsList;
            StoreU16(block + 8, static_cast<std::uint32_t>(tile.segments.Count()));
            out.PutBytes(block, sizeof block);
            for (std::int32_t k = 0; k < tile.segments.Count(); ++k) {
                const Segment& segment = tile.segments.At(k);
                out.PutU16(static_cast<std::uint32_t>(segment.x1));
                out.PutU16(static_cast<std::uint32_t>(segment.y1));
                out.PutU16(static_cast<std::uint32_t>(segment.x2));
                out.PutU16(static_cast<std::uint32_t>(segment.y2));
            }
        }
        return out.Flush();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace gridport
