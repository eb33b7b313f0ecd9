#include "support/Conversion.h"

#include <cstring>

#include "convert/Conversion.h"
#include "base/ByteOrder.h"

namespace gridport::test {

namespace {

ConversionSample Sample(std::string name, const Bytes& map, const Bytes& tileset, std::string tilesetPath) {
    return {std::move(name), map, tileset, std::move(tilesetPath), map.size(), tileset.size()};
}

void AppendTrailingBytes(ConversionSample& sample) {
    sample.map.insert(sample.map.end(), {0xFF, 0x00, 0x7F});
    sample.tileset.insert(sample.tileset.end(), {0x01, 0xFF, 0x00, 0x10, 0x2E});
}

}  // namespace

std::vector<ConversionSample> SmallConversions() {
    std::vector<ConversionSample> samples;
    samples.push_back(Sample("v1_plain_vsp", TownMap().Build(), PatternVsp(5).Build(), "tiles.vsp"));

    // An index 0xFF, stored as a run of one, and an empty run at the start.
    VspFile compressed = PatternVsp(5, 0);
    compressed.indices[300] = 0xFF;
    Bytes stream = {0xFF, 0x00, 0x07};
    const Bytes rest = CompressVsp(compressed.indices);
    stream.insert(stream.end(), rest.begin(), rest.end());
    compressed.stream = stream;
    samples.push_back(Sample("v1_compressed_vsp", TownMap().Build(), compressed.Build(), "tiles.VSP"));

    // Segments of both kinds and none, a full-length text, a selector that
    // names no layer.
    MapV1File full = TownMap();
    full.text = "thirteen.char";
    full.selector = 200;
    RtsFile rts = PatternRts(5, 4, 2);
    rts.tiles[0].infoFlag = 1;
    rts.tiles[0].infoValueA = 300;
    rts.tiles[1].segments = {{1, 2, 3, 4}, {65535, 0, 7, 1}};
    rts.tiles[2].segmentType = 1;
    rts.tiles[2].typeOneData = Bytes(8, 0xAB);
    samples.push_back(Sample("v1_rts_segments", full.Build(), rts.Build(), "tiles.rts"));
    AppendTrailingBytes(samples.back());

    samples.push_back(Sample("v2_compressed_vsp", HarbourMap().Build(), PatternVsp(5, 3).Build(), "tiles.vsp"));

    RtsFile plain = PatternRts(5, 2, 3);
    plain.segmentFlag = 0;
    plain.tiles[4].segments = {{9, 9, 9, 9}};
    samples.push_back(Sample("v2_rts_no_segment_data", HarbourMap().Build(), plain.Build(), "tiles"));
    AppendTrailingBytes(samples.back());
    return samples;
}

std::vector<ConversionSample> LargeConversions() {
    MapV1File wide;
    wide.width = 150;
    wide.height = 120;
    for (std::uint16_t i = 0; i < 150 * 120; ++i) {
        wide.background.push_back(i % 300);
        wide.foreground.push_back(i % 7);
    }
    // No two neighbours equal, so no runs: two bytes a cell.
    MapV2File tall;
    tall.order = "1E";
    tall.layers = {MapV2Layer{200, 200, {}, {}}};
    for (std::uint32_t i = 0; i < 200 * 200; ++i) {
        tall.layers[0].cells.push_back(static_cast<std::uint16_t>(i * 7 % 100));
    }
    // The pixels run across the first 64 KiB boundary, the last tile's
    // segments across the second.
    RtsFile rts = PatternRts(100, 16, 16);
    rts.tiles[99].segments.assign(3200, {1, 2, 3, 4});
    return {Sample("v1_large_plain_vsp", wide.Build(), PatternVsp(300).Build(), "tiles.vsp"),
            Sample("v2_large_rts", tall.Build(), rts.Build(), "tiles.rts")};
}

ConversionOutcome Convert(FileSystem& files, const std::string& tilesetPath, std::optional<Error>* reason) {
    RmpOutput output(kOutputPath, files, kMapPath, tilesetPath);
    if (Expected<void> imported = RunConversion(kMapPath, tilesetPath, files, output); !imported) {
        if (reason != nullptr) {
            *reason = imported.error();
        }
        return ConversionOutcome::ImportFailed;
    }
    if (Expected<void> saved = output.Commit(); !saved) {
        if (reason != nullptr) {
            *reason = saved.error();
        }
        return ConversionOutcome::SaveFailed;
    }
    return ConversionOutcome::Converted;
}

ConversionOutcome Convert(const Bytes& mapBytes, const Bytes& tilesetBytes, const std::string& tilesetPath,
                          Bytes* output) {
    MemoryFileSystem files;
    files.Put(kMapPath, mapBytes);
    files.Put(tilesetPath, tilesetBytes);
    const ConversionOutcome outcome = Convert(files, tilesetPath);
    if (output != nullptr) {
        *output = files.Get(kOutputPath);
    }
    return outcome;
}

namespace {

// Walks a file front to back; a field that runs past the end throws its
// description.
class Walker {
public:
    explicit Walker(const Bytes& bytes) : bytes_(bytes) {}

    const std::uint8_t* Take(std::uint64_t count, const std::string& what) {
        if (count > bytes_.size() - at_) {
            throw what + " at byte " + std::to_string(at_) + " runs past the end";
        }
        const std::uint8_t* field = bytes_.data() + at_;
        at_ += static_cast<std::size_t>(count);
        return field;
    }
    std::uint16_t U16(const std::string& what) { return LoadU16(Take(2, what)); }
    void String(const std::string& what) { Take(U16(what), what); }
    std::size_t Left() const { return bytes_.size() - at_; }

private:
    const Bytes& bytes_;
    std::size_t at_ = 0;
};

struct Grid {
    const std::uint8_t* cells;
    std::uint64_t count;
};

std::vector<Grid> WalkRecords(Walker& in) {
    const std::uint8_t* header = in.Take(256, "the header");
    if (std::memcmp(header, ".rmp", 4) != 0 || LoadU16(header + 4) != 1) {
        throw std::string("the header has no .rmp signature or version 1");
    }
    for (std::uint16_t i = LoadU16(header + 17); i > 0; --i) {
        in.String("a header string");
    }
    std::vector<Grid> grids;
    for (std::uint8_t i = header[7]; i > 0; --i) {
        const std::uint8_t* layer = in.Take(30, "a layer header");
        in.String("a layer name");
        const std::uint64_t cells = std::uint64_t{LoadU16(layer)} * LoadU16(layer + 2);
        grids.push_back({in.Take(2 * cells, "a tile grid"), cells});
        in.Take(16 * std::uint64_t{LoadU32(layer + 22)}, "layer segments");
    }
    for (std::uint16_t i = LoadU16(header + 9); i > 0; --i) {
        const std::uint16_t type = LoadU16(in.Take(16, "an entity header") + 6);
        if (type == 1) {
            in.String("an entity string");
            in.String("an entity string");
            for (std::uint16_t k = in.U16("an entity string count"); k > 0; --k) {
                in.String("an entity string");
            }
            in.Take(16, "an entity trailer");
        } else if (type == 2) {
            in.String("an entity string");
        } else if (type != 0) {
            throw "an entity of record type " + std::to_string(type);
        }
    }
    for (std::uint16_t i = LoadU16(header + 19); i > 0; --i) {
        in.Take(16, "a zone header");
        in.String("a zone text");
    }
    return grids;
}

// Returns the tile count.
std::uint16_t WalkTileset(Walker& in) {
    const std::uint8_t* header = in.Take(256, "the tileset header");
    if (std::memcmp(header, ".rts", 4) != 0 || LoadU16(header + 4) != 1 || LoadU16(header + 12) != 32) {
        throw std::string("the tileset header has no .rts signature, version 1 or 32 bits per pixel");
    }
    const std::uint16_t count = LoadU16(header + 6);
    const std::uint64_t pixels = std::uint64_t{LoadU16(header + 8)} * LoadU16(header + 10);
    in.Take(count * pixels * 4, "the tile pixels");
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint8_t* block = in.Take(32, "a tile information block");
        if (header[15] != 0 && block[7] == 1) {
            in.Take(pixels, "a tile's segment mask");
        } else if (header[15] != 0 && block[7] == 2) {
            in.Take(8 * std::uint64_t{LoadU16(block + 8)}, "a tile's segments");
        }
    }
    return count;
}

}  // namespace

std::string RmpFault(const Bytes& file) {
    try {
        Walker in(file);
        const std::vector<Grid> grids = WalkRecords(in);
        const std::uint16_t tiles = WalkTileset(in);
        if (in.Left() != 0) {
            return std::to_string(in.Left()) + " bytes follow the tileset";
        }
        for (std::size_t g = 0; g < grids.size(); ++g) {
            for (std::uint64_t i = 0; i < grids[g].count; ++i) {
                if (LoadU16(grids[g].cells + 2 * i) >= tiles) {
                    return "layer " + std::to_string(g) + " cell " + std::to_string(i) + " names no tile";
                }
            }
        }
        return {};
    } catch (const std::string& fault) {
        return fault;
    }
}

}  // namespace gridport::test
