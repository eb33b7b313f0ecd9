#include "support/Reference.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace gridport::test {

namespace {

// A read past the end of a file.
struct Short {};

class Cursor {
public:
    explicit Cursor(const Bytes& bytes, std::size_t at = 0) : bytes_(bytes), at_(at) {}

    std::size_t At() const { return at_; }
    std::uint8_t U8() {
        Need(1);
        return bytes_[at_++];
    }
    std::uint16_t U16() {
        const std::uint8_t low = U8();
        return static_cast<std::uint16_t>(low | (U8() << 8));
    }
    Bytes Take(std::uint64_t count) {
        Need(count);
        Bytes taken(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                    bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + count));
        at_ += static_cast<std::size_t>(count);
        return taken;
    }
    // The text at offset of the first `size` bytes of the file, to its first
    // zero byte or the end of those bytes.
    std::string Text(std::size_t offset, std::size_t size) const {
        std::string text;
        for (std::size_t i = offset; i < size && bytes_[i] != 0; ++i) {
            text += static_cast<char>(bytes_[i]);
        }
        return text;
    }
    std::uint16_t U16At(std::size_t offset) const { return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8)); }

private:
    void Need(std::uint64_t count) const {
        if (count > bytes_.size() - at_) {
            throw Short{};
        }
    }

    const Bytes& bytes_;
    std::size_t at_;
};

struct MapLayer {
    std::string name;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<std::uint16_t> cells;
};

struct Map {
    int version = 0;
    RmpFile rmp;
    std::vector<MapLayer> layers;
    std::vector<std::size_t> order;
};

Map ReadVersion1(const Bytes& bytes) {
    Cursor in(bytes);
    in.Take(100);
    Map map;
    map.version = 1;
    map.rmp.linkedFileName = in.Text(14, 100);
    map.rmp.headerX = in.U16At(62);
    map.rmp.headerY = in.U16At(64);
    map.rmp.headerMode = 4;
    const std::uint8_t selector = bytes[27];
    map.rmp.headerLayer = selector == 1 || selector == 2 ? 1 : 0;
    const std::uint16_t width = in.U16At(68);
    const std::uint16_t height = in.U16At(70);
    for (const char* name : {"Background", "Foreground"}) {
        MapLayer layer{name, width, height, {}};
        for (std::uint32_t i = 0; i < std::uint32_t{width} * height; ++i) {
            layer.cells.push_back(in.U16());
        }
        map.layers.push_back(layer);
    }
    map.order = {0, 1};
    return map;
}

Map ReadVersion2(const Bytes& bytes) {
    Cursor in(bytes);
    in.Take(206);
    Map map;
    map.version = 2;
    map.rmp.linkedFileName = in.Text(70, 206);
    map.rmp.headerX = in.U16At(150);
    map.rmp.headerY = in.U16At(152);
    const std::size_t count = bytes[205];
    if (count > 7) {
        throw Short{};
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Bytes record = in.Take(12);
        map.layers.push_back({std::string("Layer ") + static_cast<char>('A' + i),
                              static_cast<std::uint16_t>(record[4] | (record[5] << 8)),
                              static_cast<std::uint16_t>(record[6] | (record[7] << 8)),
                              {}});
    }
    for (MapLayer& layer : map.layers) {
        in.Take(4);
        const std::size_t total = std::size_t{layer.width} * layer.height;
        while (layer.cells.size() < total) {
            const std::uint16_t word = in.U16();
            if (word < 0xFF00) {
                layer.cells.push_back(word);
                continue;
            }
            const std::uint16_t value = in.U16();
            const std::size_t run = std::max(word & 0xFF, 1);
            for (std::size_t k = 0; k < run && layer.cells.size() < total; ++k) {
                layer.cells.push_back(value);
            }
        }
    }
    std::optional<std::size_t> current;
    for (const char c : in.Text(130, 206)) {
        if (c >= '1' && c <= '6' && static_cast<std::size_t>(c - '1') < count) {
            current = static_cast<std::size_t>(c - '1');
            map.order.push_back(*current);
        } else if (c == 'E' && current) {
            map.rmp.headerLayer = static_cast<std::uint8_t>(*current);
        }
    }
    return map;
}

RtsFile ReadVsp(const Bytes& bytes) {
    Cursor in(bytes);
    const std::uint16_t version = in.U16();
    const Bytes palette = in.Take(768);
    const std::uint16_t count = in.U16();
    Bytes indices;
    if (version == 2) {
        indices = in.Take(std::size_t{count} * 256);
    } else {
        in.Take(4);
        while (indices.size() < std::size_t{count} * 256) {
            const std::uint8_t byte = in.U8();
            if (byte != 0xFF) {
                indices.push_back(byte);
                continue;
            }
            const std::uint8_t length = in.U8();
            const std::uint8_t value = in.U8();
            for (std::size_t k = 0; k < length && indices.size() < std::size_t{count} * 256; ++k) {
                indices.push_back(value);
            }
        }
    }
    RtsFile rts;
    for (std::size_t t = 0; t < count; ++t) {
        RtsTile tile;
        for (std::size_t p = 0; p < 256; ++p) {
            const std::uint8_t index = indices[t * 256 + p];
            for (std::size_t c = 0; c < 3; ++c) {
                tile.pixels.push_back(index == 0 ? 0 : static_cast<std::uint8_t>(palette[3 * index + c] << 2));
            }
            tile.pixels.push_back(index == 0 ? 0 : 255);
        }
        rts.tiles.push_back(tile);
    }
    return rts;
}

RtsFile ReadRts(const Bytes& bytes) {
    Cursor in(bytes);
    const Bytes header = in.Take(256);
    if (std::memcmp(header.data(), ".rts", 4) != 0 || in.U16At(4) != 1 || in.U16At(12) != 32) {
        throw Short{};
    }
    RtsFile rts;
    rts.tileWidth = in.U16At(8);
    rts.tileHeight = in.U16At(10);
    const std::size_t pixels = std::size_t{rts.tileWidth} * rts.tileHeight;
    for (std::size_t t = 0; t < in.U16At(6); ++t) {
        rts.tiles.push_back(RtsTile{in.Take(pixels * 4), 0, 0, 0, 2, {}, {}});
    }
    for (RtsTile& tile : rts.tiles) {
        const Bytes block = in.Take(32);
        tile.infoFlag = block[1] != 0 ? 1 : 0;
        tile.infoValueA = static_cast<std::uint16_t>(block[2] | (block[3] << 8));
        tile.infoValueB = static_cast<std::uint16_t>(block[4] | (block[5] << 8));
        if (header[15] != 0 && block[7] == 1) {
            in.Take(pixels);
        } else if (header[15] != 0 && block[7] == 2) {
            for (std::size_t k = block[8] | (block[9] << 8); k > 0; --k) {
                tile.segments.push_back({in.U16(), in.U16(), in.U16(), in.U16()});
            }
        }
    }
    return rts;
}

bool IsVsp(std::string path) {
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".vsp") == 0;
}

}  // namespace

ConversionOutcome ReferenceConversion(const Bytes& mapBytes, const Bytes& tilesetBytes, const std::string& tilesetPath,
                                      Bytes& rmp) {
    Map map;
    RtsFile tileset;
    try {
        const Bytes v2 = {0x4D, 0x41, 0x50, 0xF9, 0x35, 0x00};
        if (!mapBytes.empty() && mapBytes[0] == 4) {
            map = ReadVersion1(mapBytes);
        } else if (mapBytes.size() >= 6 && std::equal(v2.begin(), v2.end(), mapBytes.begin())) {
            map = ReadVersion2(mapBytes);
        } else {
            return ConversionOutcome::ImportFailed;
        }
        tileset = IsVsp(tilesetPath) ? ReadVsp(tilesetBytes) : ReadRts(tilesetBytes);
    } catch (const Short&) {
        return ConversionOutcome::ImportFailed;
    }
    const std::size_t tiles = tileset.tiles.size();
    if (tiles == 0) {
        return ConversionOutcome::ImportFailed;
    }
    for (const MapLayer& layer : map.layers) {
        if (std::any_of(layer.cells.begin(), layer.cells.end(), [tiles](std::uint16_t cell) {
                return cell >= tiles;
            })) {
            return ConversionOutcome::ImportFailed;
        }
    }
    // Version 1: empty foreground cells name a transparent tile added last.
    if (map.version == 1) {
        tileset.tiles.push_back(RtsTile{Bytes(std::size_t{tileset.tileWidth} * tileset.tileHeight * 4, 0), 0, 0, 0,
                                        2, {}, {}});
        for (std::uint16_t& cell : map.layers[1].cells) {
            cell = cell == 0 ? static_cast<std::uint16_t>(tiles) : cell;
        }
    }
    if (map.order.size() > 255 || tileset.tiles.size() > 65535) {
        return ConversionOutcome::SaveFailed;
    }
    for (const std::size_t index : map.order) {
        const MapLayer& layer = map.layers[index];
        RmpLayer out;
        out.width = layer.width;
        out.height = layer.height;
        out.name = layer.name;
        out.cells = layer.cells;
        map.rmp.layers.push_back(out);
    }
    for (RtsTile& tile : tileset.tiles) {
        tile.segmentType = 2;
        tile.typeOneData.clear();
    }
    tileset.segmentFlag = 1;
    map.rmp.tileset = tileset.Build();
    rmp = map.rmp.Build();
    return ConversionOutcome::Converted;
}

}  // namespace gridport::test
