#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "filesystem/BufferedReader.h"
#include "tileset/RtsReader.h"
#include "tileset/VspReader.h"

namespace gridport {

enum class TilesetKind { Vsp, Rts };

// A path ending in ".vsp", in any letter case, names a VSP tileset; every other path an RTS tileset file.
TilesetKind TilesetKindOf(std::string_view path);
// What a tileset's first bytes show, where no name tells (standard input): an RTS tileset file starts with ".rts"; a VSP
// tileset has no signature, so anything else is taken for one. Looks at in's next bytes without taking them. Fails when
// a stream gives no byte at all ("the file is empty") or refuses to be read.
Expected<TilesetKind> TilesetKindOfContent(BufferedReader& in);

struct TilesetHeader {
    TilesetKind kind = TilesetKind::Rts;
    std::uint32_t tileCount = 0;
    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;

    std::uint64_t TileBytes() const { return std::uint64_t{tileWidth} * tileHeight * kBytesPerPixel; }
};

// Walks either kind of tileset from a reader: header, tiles' RGBA pixels in order, then information (VSP: defaults).
class TilesetReader {
public:
    TilesetReader(BufferedReader& in, TilesetKind kind);

    Expected<TilesetHeader> ReadHeader();
    Expected<void> ReadPixels(std::size_t tile, const ByteVisitor& visit);
    Expected<void> ReadInfo(std::size_t tile, RtsTileInfo& info);

private:
    std::optional<VspReader> vsp_;
    std::optional<RtsReader> rts_;
};

}  // namespace gridport
