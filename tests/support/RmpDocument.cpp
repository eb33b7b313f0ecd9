#include "support/RmpDocument.h"

#include "base/ByteOrder.h"
#include "base/Counted.h"
#include "rmp/RmpReader.h"
#include "tileset/TilesetReader.h"

namespace gridport {

namespace {

// The cells and segments of a layer whose counts the outline checked.
Expected<void> ReadGrid(BufferedReader& in, const RmpLayerPlace& place, MapLayer& layer) {
    static_cast<RmpLayerFields&>(layer) = place;
    layer.width = place.width;
    layer.height = place.height;
    layer.tiles.resize(std::size_t{place.width} * place.height);
    if (Expected<void> moved = in.MoveTo(place.cells, "the grid of " + layer.name); !moved) {
        return moved;
    }
    for (std::uint32_t& cell : layer.tiles) {
        std::uint16_t value = 0;
        if (!in.ReadU16(value, "the grid")) {
            return in.Fail(in.Position(), "cannot read the grid of " + layer.name);
        }
        cell = value;
    }
    for (std::uint32_t k = 0; k < place.segments; ++k) {
        std::uint8_t record[rmp::kSegmentSize];
        if (Expected<void> read = in.Read(record, sizeof record, "a segment of " + layer.name); !read) {
            return read;
        }
        const auto value = [&record](std::size_t at) { return static_cast<std::int32_t>(LoadU32(record + at)); };
        layer.segments.push_back(Segment{value(0), value(4), value(8), value(12)});
    }
    return Success();
}

// A string whose length the outline checked.
std::string String(BufferedReader& in) {
    std::uint16_t length = 0;
    std::string text;
    if (in.ReadU16(length, "a string")) {
        text.resize(length);
        static_cast<void>(in.Read(text.data(), length, "a string"));
    }
    return text;
}

// The records the outline checked.
void ReadRecords(BufferedReader& in, std::vector<MapEntity>& entities, std::vector<MapZone>& zones) {
    std::uint8_t header[rmp::kRecordHeaderSize];
    for (MapEntity& entity : entities) {
        static_cast<void>(in.Read(header, sizeof header, "an entity"));
        entity.x = LoadU16(header + rmp::kEntityXOffset);
        entity.y = LoadU16(header + rmp::kEntityYOffset);
        entity.layer = LoadU16(header + rmp::kEntityLayerOffset);
        const std::uint16_t type = LoadU16(header + rmp::kEntityTypeOffset);
        entity.kind = rmp::EntityKind(type);
        if (type == rmp::EntityRecordType(3)) {
            entity.textA = String(in);
        } else if (type == rmp::EntityRecordType(2)) {
            entity.textA = String(in);
            entity.textB = String(in);
            std::uint16_t count = 0;
            static_cast<void>(in.ReadU16(count, "a count"));
            for (std::string& text : entity.textList) {
                text = String(in);
            }
            static_cast<void>(in.Skip(rmp::kEntityTrailerSize, "a trailer"));
        }
    }
    for (MapZone& zone : zones) {
        static_cast<void>(in.Read(header, sizeof header, "a zone"));
        std::int32_t* const values[rmp::kZoneValueCount] = {&zone.x1, &zone.y1, &zone.x2, &zone.y2, &zone.layer,
                                                            &zone.auxValue};
        for (std::size_t i = 0; i < rmp::kZoneValueCount; ++i) {
            *values[i] = LoadU16(header + 2 * i);
        }
        zone.text = String(in);
    }
}

}  // namespace

Expected<RmpDocument> ReadRmp(BufferedReader& in) {
    Expected<RmpOutline> outline = ReadRmpOutline(in);
    if (!outline) {
        return outline.error();
    }
    Expected<Tileset> tileset = LoadTileset(in, TilesetKind::Rts);
    if (!tileset) {
        return tileset.error();
    }
    if (in.Remaining() != 0) {
        return in.Fail(in.Position(),
                       Counted(in.Remaining(), "byte follows", "bytes follow") + " the end of the tileset");
    }
    RmpDocument document;
    TileMap& map = document.map;
    map.tileset = std::move(*tileset);
    map.headerX = outline->headerX;
    map.headerY = outline->headerY;
    map.headerLayer = outline->headerLayer;
    map.headerMode = outline->headerMode;
    std::string* const strings[] = {&document.unnamedStrings[0], &map.linkedFileName, &document.unnamedStrings[1],
                                    &map.textA, &map.textB, &map.textList[0], &map.textList[1], &map.textList[2],
                                    &map.textList[3]};
    for (std::size_t i = 0; i < outline->strings.size(); ++i) {
        *strings[i] = outline->strings[i];
    }
    map.layers.resize(outline->layers.size());
    for (std::size_t i = 0; i < map.layers.size(); ++i) {
        if (Expected<void> read = ReadGrid(in, outline->layers[i], map.layers[i]); !read) {
            return read.error();
        }
    }
    map.entities.resize(outline->entities);
    map.zones.resize(outline->zones);
    if (Expected<void> moved = in.MoveTo(outline->records, "the entities again"); !moved) {
        return moved.error();
    }
    ReadRecords(in, map.entities, map.zones);
    return document;
}

}  // namespace gridport
