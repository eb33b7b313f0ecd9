#include "tileset/TilesetReader.h"

#include <algorithm>
#include <cstring>

#include "base/Text.h"
#include "tileset/RtsLayout.h"

namespace gridport {

TilesetKind TilesetKindOf(std::string_view path) {
    return EndsWithIgnoringCase(path, ".vsp") ? TilesetKind::Vsp : TilesetKind::Rts;
}

Expected<TilesetKind> TilesetKindOfContent(BufferedReader& in) {
    // A file known to be empty holds no tileset of either kind; its reader says what is missing.
    if (in.Remaining() == 0) {
        return TilesetKind::Vsp;
    }
    if (Expected<void> filled = in.Fill("the file"); !filled) {
        // A pipe tells no size: one that ends before its first byte is empty, not unreadable.
        const bool empty = filled.error().Kind() == ErrorKind::Input && in.Delivered() == 0;
        return empty ? Error(in.Path(), "the file is empty") : filled.error();
    }
    const std::uint8_t* head = in.BufferedData();
    const bool rts = in.BufferedSize() >= sizeof rts::kSignature &&
                     std::equal(head, head + sizeof rts::kSignature, rts::kSignature);
    return rts ? TilesetKind::Rts : TilesetKind::Vsp;
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

}  // namespace gridport
