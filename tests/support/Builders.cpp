#include "support/Builders.h"

#include <bit>

namespace gridport::test {

ByteBuilder& ByteBuilder::U8(std::uint32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    return *this;
}

ByteBuilder& ByteBuilder::U16(std::uint32_t value) {
    return U8(value & 0xFF).U8((value >> 8) & 0xFF);
}

ByteBuilder& ByteBuilder::U32(std::uint32_t value) {
    return U16(value & 0xFFFF).U16(value >> 16);
}

ByteBuilder& ByteBuilder::F32(float value) {
    return U32(std::bit_cast<std::uint32_t>(value));
}

ByteBuilder& ByteBuilder::Raw(const Bytes& data) {
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

ByteBuilder& ByteBuilder::Text(std::string_view text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
}

ByteBuilder& ByteBuilder::Zeros(std::size_t count) {
    bytes.insert(bytes.end(), count, 0);
    return *this;
}

ByteBuilder& ByteBuilder::String(std::string_view text) {
    return U16(static_cast<std::uint32_t>(text.size())).Text(text);
}

Bytes PatternPalette() {
    Bytes palette(768);
    for (std::size_t i = 0; i < 256; ++i) {
        palette[3 * i] = static_cast<std::uint8_t>(i % 64);
        palette[3 * i + 1] = static_cast<std::uint8_t>((i * 3) % 64);
        palette[3 * i + 2] = static_cast<std::uint8_t>((i * 7) % 64);
    }
    return palette;
}

std::array<std::uint8_t, 4> VspColour(const Bytes& palette, std::uint8_t index) {
    if (index == 0) {
        return {0, 0, 0, 0};
    }
    const auto scaled = [&](std::size_t c) { return static_cast<std::uint8_t>((palette[3 * index + c] * 4) % 256); };
    return {scaled(0), scaled(1), scaled(2), 255};
}

Bytes VspFile::Build() const {
    ByteBuilder out;
    out.U16(version).Raw(palette).U16(count);
    if (version == 2) {
        out.Raw(indices);
    } else {
        out.Zeros(4).Raw(stream ? *stream : CompressVsp(indices));
    }
    return out.bytes;
}

Bytes CompressVsp(const Bytes& indices) {
    Bytes stream;
    for (std::size_t i = 0; i < indices.size();) {
        std::size_t run = 1;
        while (i + run < indices.size() && indices[i + run] == indices[i] && run < 255) {
            ++run;
        }
        if (run >= 3 || indices[i] == 0xFF) {
            stream.insert(stream.end(), {0xFF, static_cast<std::uint8_t>(run), indices[i]});
            i += run;
        } else {
            stream.push_back(indices[i]);
            ++i;
        }
    }
    return stream;
}

VspFile PatternVsp(std::uint16_t count, std::uint16_t version) {
    VspFile vsp;
    vsp.version = version;
    vsp.count = count;
    vsp.indices.resize(std::size_t{count} * 256);
    for (std::size_t i = 0; i < vsp.indices.size(); ++i) {
        // Stretches of equal indices, so the compressed form has runs too.
        vsp.indices[i] = static_cast<std::uint8_t>((i / 256) * 37 + (i % 256) / 5);
    }
    return vsp;
}

Bytes RtsFile::Build() const {
    ByteBuilder out;
    out.Raw(Bytes(signature.begin(), signature.end()))
        .U16(version)
        .U16(countField ? *countField : static_cast<std::uint16_t>(tiles.size()))
        .U16(tileWidth)
        .U16(tileHeight)
        .U16(bitsPerPixel)
        .U8(0)
        .U8(segmentFlag)
        .Zeros(240);
    for (const RtsTile& tile : tiles) {
        out.Raw(tile.pixels);
    }
    for (const RtsTile& tile : tiles) {
        out.U8(0)
            .U8(tile.infoFlag)
            .U16(tile.infoValueA)
            .U16(tile.infoValueB)
            .U8(0)
            .U8(tile.segmentType)
            .U16(static_cast<std::uint32_t>(tile.segments.size()))
            .Zeros(22);
        if (segmentFlag == 0) {
            continue;
        }
        if (tile.segmentType == 1) {
            out.Raw(tile.typeOneData);
        } else if (tile.segmentType == 2) {
            for (const auto& segment : tile.segments) {
                out.U16(segment[0]).U16(segment[1]).U16(segment[2]).U16(segment[3]);
            }
        }
    }
    return out.bytes;
}

RtsFile PatternRts(std::uint16_t count, std::uint16_t width, std::uint16_t height) {
    RtsFile rts;
    rts.tileWidth = width;
    rts.tileHeight = height;
    for (std::size_t t = 0; t < count; ++t) {
        RtsTile tile;
        tile.pixels.resize(std::size_t{width} * height * 4);
        for (std::size_t i = 0; i < tile.pixels.size(); ++i) {
            tile.pixels[i] = static_cast<std::uint8_t>(t * 13 + i * 7 + (i % 4 == 3 ? 255 : 0));
        }
        rts.tiles.push_back(std::move(tile));
    }
    return rts;
}

RtsFile RtsFromVsp(const VspFile& vsp, bool withTransparentTile) {
    RtsFile rts;
    for (std::size_t t = 0; t < vsp.count; ++t) {
        RtsTile tile;
        for (std::size_t k = 0; k < 256; ++k) {
            const auto colour = VspColour(vsp.palette, vsp.indices[t * 256 + k]);
            tile.pixels.insert(tile.pixels.end(), colour.begin(), colour.end());
        }
        rts.tiles.push_back(std::move(tile));
    }
    if (withTransparentTile) {
        RtsTile clear;
        clear.pixels.assign(16 * 16 * 4, 0);
        rts.tiles.push_back(std::move(clear));
    }
    return rts;
}

Bytes MapV1File::Build() const {
    Bytes header(100, 0);
    header[0] = 4;
    for (std::size_t i = 0; i < text.size() && 14 + i < header.size(); ++i) {
        header[14 + i] = static_cast<std::uint8_t>(text[i]);
    }
    if (text.size() <= 13) {
        header[27] = selector;
    }
    const auto put16 = [&](std::size_t offset, std::uint16_t value) {
        header[offset] = static_cast<std::uint8_t>(value);
        header[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    put16(62, headerX);
    put16(64, headerY);
    put16(68, width);
    put16(70, height);
    ByteBuilder out;
    out.Raw(header);
    for (const std::uint16_t cell : background) {
        out.U16(cell);
    }
    for (const std::uint16_t cell : foreground) {
        out.U16(cell);
    }
    return out.bytes;
}

std::vector<std::uint16_t> EncodeV2Cells(const std::vector<std::uint16_t>& cells) {
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i < cells.size();) {
        std::size_t run = 1;
        while (i + run < cells.size() && cells[i + run] == cells[i] && run < 255) {
            ++run;
        }
        if (run >= 3 || cells[i] >= 0xFF00) {
            words.push_back(static_cast<std::uint16_t>(0xFF00 | run));
            words.push_back(cells[i]);
            i += run;
        } else {
            words.push_back(cells[i]);
            ++i;
        }
    }
    return words;
}

Bytes MapV2File::Build() const {
    Bytes header(206, 0);
    const std::uint8_t signature[6] = {0x4D, 0x41, 0x50, 0xF9, 0x35, 0x00};
    std::copy(signature, signature + 6, header.begin());
    const auto place = [&](std::size_t offset, const std::string& value) {
        for (std::size_t i = 0; i < value.size() && offset + i < header.size(); ++i) {
            header[offset + i] = static_cast<std::uint8_t>(value[i]);
        }
    };
    place(70, text);
    place(130, order);
    header[150] = static_cast<std::uint8_t>(headerX);
    header[151] = static_cast<std::uint8_t>(headerX >> 8);
    header[152] = static_cast<std::uint8_t>(headerY);
    header[153] = static_cast<std::uint8_t>(headerY >> 8);
    header[205] = countField ? *countField : static_cast<std::uint8_t>(layers.size());
    ByteBuilder out;
    out.Raw(header);
    for (const MapV2Layer& layer : layers) {
        out.Zeros(4).U16(layer.width).U16(layer.height).Zeros(4);
    }
    for (const MapV2Layer& layer : layers) {
        out.Zeros(4);
        for (const std::uint16_t word : layer.words ? *layer.words : EncodeV2Cells(layer.cells)) {
            out.U16(word);
        }
    }
    return out.bytes;
}

Bytes RmpFile::Build() const {
    ByteBuilder out;
    out.Text(".rmp")
        .U16(1)
        .U8(0)
        .U8(static_cast<std::uint32_t>(layers.size()))
        .U8(0)
        .U16(entityCount)
        .U16(headerX)
        .U16(headerY)
        .U8(headerLayer)
        .U8(headerMode)
        .U16(9)
        .U16(zoneCount)
        .Zeros(235);
    out.String("").String(linkedFileName).String("").String(textA).String(textB);
    for (const std::string& text : textList) {
        out.String(text);
    }
    for (const RmpLayer& layer : layers) {
        out.U16(layer.width)
            .U16(layer.height)
            .U16(layer.flags)
            .F32(layer.factorX)
            .F32(layer.factorY)
            .F32(layer.rateX)
            .F32(layer.rateY)
            .U32(static_cast<std::uint32_t>(layer.segments.size()))
            .U8(layer.auxFlag)
            .Zeros(3)
            .String(layer.name);
        for (const std::uint16_t cell : layer.cells) {
            out.U16(cell);
        }
        for (const auto& segment : layer.segments) {
            for (const std::int32_t value : segment) {
                out.U32(static_cast<std::uint32_t>(value));
            }
        }
    }
    out.Raw(entityRecords).Raw(zoneRecords).Raw(tileset);
    return out.bytes;
}

}  // namespace gridport::test
