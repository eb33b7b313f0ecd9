// The RTS tileset file: a 256-byte header, the pixels of every tile, then
// each tile's 32-byte information block with its optional segment data.

#include <cstring>
#include <new>

#include "filesystem/BufferedReader.h"
#include "filesystem/BufferedWriter.h"
#include "filesystem/ByteOrder.h"
#include "filesystem/Counted.h"
#include "filesystem/OpenFile.h"
#include "tileset/RtsLayout.h"
#include "tileset/RtsReader.h"
#include "tileset/RtsWriter.h"
#include "tileset/Tileset.h"

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

bool Tileset::Load(const std::string& path, FileSystem& fileSystem, Error& error) {
    const std::unique_ptr<File> file = OpenRecorded(fileSystem, path, OpenMode::Read, error);
    return file != nullptr && Load(*file, path, error);
}

bool Tileset::Load(const std::string& path, FileSystem& fileSystem) {
    Error ignored;
    return Load(path, fileSystem, ignored);
}

bool Tileset::Load(File& file) {
    Error ignored;
    return Load(file, {}, ignored);
}

bool Tileset::Load(File& file, const std::string& path, Error& error) {
    try {
        BufferedReader in(file);
        return Load(in, path, error);
    } catch (const std::bad_alloc&) {
        return error.Fail(path, "out of memory for the tileset");
    }
}

bool Tileset::Load(BufferedReader& in, const std::string& path, Error& error) {
    try {
        RtsReader reader(in, path);
        RtsHeader header;
        if (!reader.ReadHeader(header, error)) {
            return false;
        }
        std::vector<Tile> loaded;
        loaded.reserve(header.tileCount);
        for (std::size_t i = 0; i < header.tileCount; ++i) {
            // The image is made once its bytes are known to be there.
            RgbaImage& image = loaded.emplace_back().image;
            std::size_t filled = 0;
            if (!reader.ReadPixels(i, [&](const std::uint8_t* bytes, std::size_t count) {
                    if (filled == 0) {
                        image = RgbaImage(header.tileWidth, header.tileHeight);
                    }
                    std::memcpy(image.pixels.data() + filled, bytes, count);
                    filled += count;
                }, error)) {
                return false;
            }
            if (filled == 0) {
                image = RgbaImage(header.tileWidth, header.tileHeight);
            }
        }
        RtsTileInfo info;
        for (std::size_t i = 0; i < loaded.size(); ++i) {
            if (!reader.ReadInfo(i, info, error)) {
                return false;
            }
            Tile& tile = loaded[i];
            tile.SetInfoFlag(info.infoFlag);
            tile.SetInfoValueA(info.infoValueA);
            tile.SetInfoValueB(info.infoValueB);
            for (const auto& [x1, y1, x2, y2] : info.segments) {
                tile.segments.Append(x1, y1, x2, y2);
            }
        }
        tileWidth = header.tileWidth;
        tileHeight = header.tileHeight;
        tiles.swap(loaded);
        return true;
    } catch (const std::bad_alloc&) {
        return error.Fail(path, "out of memory for the tileset");
    }
}

bool Tileset::FitsRtsFormat(const std::string& path, Error& error) const {
    if (tiles.size() > kFormatLimit) {
        return error.Fail(path, "the RMP format holds at most 65535 tiles; the map needs " +
                                    std::to_string(tiles.size()));
    }
    if (tileWidth < 0 || tileWidth > kFormatLimit || tileHeight < 0 || tileHeight > kFormatLimit) {
        return error.Fail(path, "the RMP format holds tiles of at most 65535 x 65535 pixels; the tiles are " +
                                    std::to_string(tileWidth) + " x " + std::to_string(tileHeight));
    }
    const std::size_t pixelBytes =
        static_cast<std::size_t>(tileWidth) * static_cast<std::size_t>(tileHeight) * RgbaImage::kBytesPerPixel;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (tiles[i].image.pixels.size() != pixelBytes) {
            return error.Fail(path, "tile " + std::to_string(i) + " is not the tileset's tile size");
        }
        if (tiles[i].segments.Count() > kFormatLimit) {
            return error.Fail(path, "the RMP format holds at most 65535 segments a tile; tile " + std::to_string(i) +
                                        " has " + std::to_string(tiles[i].segments.Count()));
        }
    }
    return true;
}

bool Tileset::FitsRtsFormat() const {
    Error ignored;
    return FitsRtsFormat({}, ignored);
}

bool Tileset::Save(File& file) const {
    if (!FitsRtsFormat()) {
        return false;
    }
    try {
        BufferedWriter out(file);
        WriteRtsHeader(out, static_cast<std::uint32_t>(tiles.size()), static_cast<std::uint32_t>(tileWidth),
                       static_cast<std::uint32_t>(tileHeight));
        for (const Tile& tile : tiles) {
            out.PutBytes(tile.image.pixels.data(), tile.image.pixels.size());
        }
        for (const Tile& tile : tiles) {
            WriteRtsInfo(out, tile.infoFlag, static_cast<std::uint32_t>(tile.infoValueA),
                         static_cast<std::uint32_t>(tile.infoValueB), static_cast<std::uint32_t>(tile.segments.Count()));
            for (std::int32_t k = 0; k < tile.segments.Count(); ++k) {
                const Segment& segment = tile.segments.At(k);
                WriteRtsSegment(out, static_cast<std::uint32_t>(segment.x1), static_cast<std::uint32_t>(segment.y1),
                                static_cast<std::uint32_t>(segment.x2), static_cast<std::uint32_t>(segment.y2));
            }
        }
        return out.Flush();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace gridport
