#include "tileset/TilesetReader.h"

#include <cstring>

#include "filesystem/ExactName.h"

namespace gridport {

TilesetKind TilesetKindOf(std::string_view path) {
    constexpr std::string_view kEnding = ".vsp";
    return path.size() >= kEnding.size() && SameIgnoringCase(path.substr(path.size() - kEnding.size()), kEnding)
               ? TilesetKind::Vsp
               : TilesetKind::Rts;
}

TilesetReader::TilesetReader(BufferedReader& in, TilesetKind kind) {
    if (kind == TilesetKind::Vsp) {
        vsp_.emplace(in);
    } else {
        rts_.emplace(in);
    }
}

Expected<TilesetHeader> TilesetReader::ReadHeader() {
    if (vsp_) {
        const Expected<std::uint16_t> count = vsp_->ReadHeader();
        if (!count) {
            return count.error();
        }
        return TilesetHeader{TilesetKind::Vsp, *count, VspReader::kTileSide, VspReader::kTileSide};
    }
    const Expected<RtsHeader> header = rts_->ReadHeader();
    if (!header) {
        return header.error();
    }
    return TilesetHeader{TilesetKind::Rts, header->tileCount, header->tileWidth, header->tileHeight};
}

Expected<void> TilesetReader::ReadPixels(std::size_t tile, const ByteVisitor& visit) {
    if (rts_) {
        return rts_->ReadPixels(tile, visit);
    }
    std::uint8_t rgba[VspReader::kTileBytes];
    if (Expected<void> read = vsp_->ReadTile(tile, rgba); !read) {
        return read;
    }
    visit(rgba, sizeof rgba);
    return Success();
}

Expected<void> TilesetReader::ReadInfo(std::size_t tile, RtsTileInfo& info) {
    if (rts_) {
        return rts_->ReadInfo(tile, info);
    }
    info = RtsTileInfo{};
    return Success();
}

Expected<Tileset> LoadTileset(BufferedReader& in, TilesetKind kind) {
    TilesetReader reader(in, kind);
    const Expected<TilesetHeader> header = reader.ReadHeader();
    if (!header) {
        return header.error();
    }
    Tileset tileset;
    tileset.tileWidth = static_cast<std::int32_t>(header->tileWidth);
    tileset.tileHeight = static_cast<std::int32_t>(header->tileHeight);
    tileset.tiles.reserve(header->tileCount);
    for (std::size_t i = 0; i < header->tileCount; ++i) {
        // The image is made once its bytes are known to be there.
        RgbaImage& image = tileset.tiles.emplace_back().image;
        std::size_t filled = 0;
        const ByteVisitor copy = [&](const std::uint8_t* bytes, std::size_t count) {
            if (filled == 0) {
                image = RgbaImage(tileset.tileWidth, tileset.tileHeight);
            }
            std::memcpy(image.pixels.data() + filled, bytes, count);
            filled += count;
        };
        if (Expected<void> read = reader.ReadPixels(i, copy); !read) {
            return read.error();
        }
        if (filled == 0) {
            image = RgbaImage(tileset.tileWidth, tileset.tileHeight);
        }
    }
    RtsTileInfo info;
    for (std::size_t i = 0; i < tileset.tiles.size(); ++i) {
        if (Expected<void> read = reader.ReadInfo(i, info); !read) {
            return read.error();
        }
        Tile& tile = tileset.tiles[i];
        tile.infoFlag = info.infoFlag;
        tile.infoValueA = info.infoValueA;
        tile.infoValueB = info.infoValueB;
        for (const auto& [x1, y1, x2, y2] : info.segments) {
            tile.segments.push_back(Segment{x1, y1, x2, y2});
        }
    }
    return tileset;
}

}  // namespace gridport
