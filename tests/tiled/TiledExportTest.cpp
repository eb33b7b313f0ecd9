#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <nlohmann/json.hpp>

#include "support/Builders.h"
#include "support/MemoryFileSystem.h"
#include "tiled/TiledExport.h"

namespace gridport {
namespace {

using nlohmann::json;
using test::ByteBuilder;
using test::Bytes;
using test::MemoryFileSystem;

// An RMP file of every kind of value: two layers of other sizes, entities of each record type, a zone with reversed
// corners, texts that aren't UTF-8, a float of each kind, and a tile with information and a segment.
test::RmpFile Everything() {
    test::RmpFile file;
    file.headerX = 65535;
    file.headerY = 2;
    file.headerLayer = 3;
    file.headerMode = 250;
    file.textA = std::string(1, '\xFF');
    file.textB = "b\xFE";
    file.textList = {"caf\xC3\xA9", "", "", ""};
    test::RmpLayer low{2, 1, 1, -0.0F, std::bit_cast<float>(0x7fc00001U), 0.1F, -2.5F, 1, "\xC3", {0, 1},
                       {{-1, 2, 3, -4}, {5, 6, 7, 8}}};
    test::RmpLayer top{1, 2, 2, 1.0F, 1.0F, std::numeric_limits<float>::infinity(), 0.0F, 0, "top", {1, 0}, {}};
    file.layers = {low, top};
    ByteBuilder entities;
    entities.U16(3).U16(4).U16(1).U16(1).Zeros(8).String("a").String("b").U16(5);
    for (const char* text : {"1", "2", "3", "4", "\x80"}) {
        entities.String(text);
    }
    entities.Zeros(16).U16(7).U16(8).U16(0).U16(2).Zeros(8).String("only");
    entities.U16(9).U16(10).U16(2).U16(0).Zeros(8);
    file.entityCount = 3;
    file.entityRecords = entities.bytes;
    file.zoneCount = 1;
    file.zoneRecords = ByteBuilder().U16(5).U16(6).U16(1).U16(2).U16(0).U16(7).Zeros(4).String("z").bytes;
    test::RtsFile tiles;
    tiles.tileWidth = 1;
    tiles.tileHeight = 1;
    tiles.tiles = {test::RtsTile{{1, 2, 3, 4}, 0, 0, 0, 2, {}, {}}, test::RtsTile{{5, 6, 7, 8}, 1, 2, 3, 2, {{1, 2, 0, 0}}, {}}};
    file.tileset = tiles.Build();
    return file;
}

json Read(const MemoryFileSystem& files, const std::string& path) {
    const Bytes bytes = files.Get(path);
    return json::parse(bytes.begin(), bytes.end());
}

// The value of the property of that name; null when there is none.
json Property(const json& owner, const std::string& name) {
    for (const json& property : owner.value("properties", json::array())) {
        if (property["name"] == name) {
            return property["value"];
        }
    }
    return nullptr;
}

Expected<void> Export(MemoryFileSystem& files, const Bytes& rmp) {
    files.Put("in.rmp", rmp);
    Expected<std::unique_ptr<File>> file = files.Open("in.rmp", OpenMode::Read);
    EXPECT_TRUE(file);
    return tiled::ExportRmp(**file, "in.rmp", "out.tmj", files);
}

TEST(TiledExport, KeepsEveryValueOfTheFile) {
    MemoryFileSystem files;
    ASSERT_TRUE(Export(files, Everything().Build()));
    const json map = Read(files, "out.tmj");
    EXPECT_EQ(map["width"], 2);
    EXPECT_EQ(map["height"], 2);
    EXPECT_EQ(map["tilesets"], json::parse(R"([{"firstgid":1,"source":"out.tsj"}])"));
    EXPECT_EQ(Property(map, "header x"), 65535);
    EXPECT_EQ(Property(map, "header mode"), 250);
    EXPECT_EQ(Property(map, "text A"), nullptr);
    EXPECT_EQ(Property(map, "text A bytes"), "/w==");
    EXPECT_EQ(Property(map, "text B bytes"), "Yv4=");
    EXPECT_EQ(Property(map, "text list 1"), "caf\xC3\xA9");
    EXPECT_EQ(Property(map, "string 1"), "");

    // gid = index + 1; the map's cells beyond a layer's own size are 0.
    const json& low = map["layers"][0];
    const json& top = map["layers"][1];
    EXPECT_EQ(low["data"], json::parse("[1,2,0,0]"));
    EXPECT_EQ(top["data"], json::parse("[2,0,1,0]"));
    EXPECT_EQ(low["visible"], false);
    EXPECT_EQ(top["visible"], true);
    EXPECT_EQ(low["name"], "\xEF\xBF\xBD");
    EXPECT_EQ(Property(low, "name bytes"), "ww==");
    EXPECT_EQ(Property(low, "width"), 2);
    EXPECT_EQ(Property(low, "height"), 1);
    EXPECT_EQ(Property(low, "factors enabled"), false);
    EXPECT_EQ(Property(top, "factors enabled"), true);
    EXPECT_EQ(Property(low, "aux flag"), true);
    EXPECT_EQ(Property(low, "factor x"), "0x80000000");
    EXPECT_EQ(Property(low, "factor y"), "0x7fc00001");
    EXPECT_EQ(Property(top, "rate x"), "0x7f800000");
    EXPECT_EQ(static_cast<float>(Property(low, "rate x").get<double>()), 0.1F);
    EXPECT_EQ(Property(low, "rate y"), -2.5);
    EXPECT_EQ(Property(low, "segments"), "-1 2 3 -4\n5 6 7 8");
    EXPECT_EQ(Property(top, "segments"), nullptr);

    const json& entities = map["layers"][2];
    ASSERT_EQ(entities["name"], "entities");
    ASSERT_EQ(entities["objects"].size(), 3U);
    const json& full = entities["objects"][0];
    EXPECT_EQ(full["point"], true);
    EXPECT_EQ(full["x"], 3);
    EXPECT_EQ(full["y"], 4);
    EXPECT_EQ(Property(full, "layer"), 1);
    EXPECT_EQ(Property(full, "kind"), 2);
    EXPECT_EQ(Property(full, "text B"), "b");
    EXPECT_EQ(Property(full, "text list 4"), "4");
    EXPECT_EQ(Property(full, "text list 5 bytes"), "gA==");
    EXPECT_EQ(Property(entities["objects"][1], "kind"), 3);
    EXPECT_EQ(entities["objects"][1]["properties"].size(), 3U);  // layer, kind, text A
    EXPECT_EQ(entities["objects"][2]["properties"].size(), 2U);

    const json& zone = map["layers"][3]["objects"][0];
    EXPECT_EQ(map["layers"][3]["name"], "zones");
    EXPECT_EQ(zone["id"], 4);
    EXPECT_EQ((std::array<int, 4>{zone["x"], zone["y"], zone["width"], zone["height"]}),
              (std::array<int, 4>{1, 2, 4, 4}));
    EXPECT_EQ(Property(zone, "aux value"), 7);
    EXPECT_EQ(Property(zone, "reversed x"), true);
    EXPECT_EQ(Property(zone, "reversed y"), true);
    EXPECT_EQ(map["nextobjectid"], 5);
    EXPECT_EQ(map["nextlayerid"], 5);

    const json tileset = Read(files, "out.tsj");
    EXPECT_EQ(tileset["image"], "out.png");
    EXPECT_EQ(tileset["tilecount"], 2);
    EXPECT_EQ(tileset["columns"], 2);
    ASSERT_EQ(tileset["tiles"].size(), 1U);  // only the tile with something to keep
    const json& tile = tileset["tiles"][0];
    EXPECT_EQ(tile["id"], 1);
    EXPECT_EQ(Property(tile, "info flag"), true);
    EXPECT_EQ(Property(tile, "info value B"), 3);
    const json& segment = tile["objectgroup"]["objects"][0];
    EXPECT_EQ(segment["x"], 1);
    EXPECT_EQ(segment["y"], 2);
    EXPECT_EQ(segment["polyline"], json::parse(R"([{"x":0,"y":0},{"x":-1,"y":-2}])"));
    EXPECT_TRUE(files.Has("out.png"));
}

// Each change makes a file gridport's writer could not have written, or one Tiled can't hold: refused where it is.
TEST(TiledExport, RefusesWhatCannotComeBackExactly) {
    const auto plain = [] {
        test::RmpFile file;
        file.layers = {test::RmpLayer{1, 1, 0, 1.0F, 1.0F, 0.0F, 0.0F, 0, "", {1}, {}}};
        file.entityCount = 1;
        file.entityRecords = ByteBuilder().Zeros(6).U16(2).Zeros(8).String("").bytes;
        file.zoneCount = 1;
        file.zoneRecords = ByteBuilder().Zeros(16).String("").bytes;
        test::RtsFile tiles;
        tiles.tileWidth = tiles.tileHeight = 1;
        tiles.tiles = {test::RtsTile{{0, 0, 0, 0}, 0, 0, 0, 2, {}, {}}, test::RtsTile{{0, 0, 0, 0}, 0, 0, 0, 2, {}, {}}};
        file.tileset = tiles.Build();
        return file;
    };
    constexpr std::size_t kLayer = 256 + 9 * 2;
    constexpr std::size_t kEntity = kLayer + 30 + 2 + 2;
    constexpr std::size_t kZone = kEntity + 16 + 2;
    constexpr std::size_t kTileset = kZone + 16 + 2;
    constexpr std::size_t kInfo = kTileset + 256 + 2 * 4;
    // A change of the file before it is built, or of one byte after (at, to value).
    struct Case {
        const char* what;
        void (*edit)(test::RmpFile&);
        std::size_t at;
        std::uint8_t value;
        bool unkept = true;  // a value the format allows that a Tiled map can't carry, not a malformed file
    };
    const std::vector<Case> cases{
        {"reserved header byte", nullptr, 100, 1},
        {"zero byte in a string", [](test::RmpFile& f) { f.textA = std::string("a\0", 2); }, 256 + 4 * 2 + 1, 0},
        {"layer flag bit 2", [](test::RmpFile& f) { f.layers[0].flags = 4; }, kLayer + 4, 0},
        {"aux flag 2", [](test::RmpFile& f) { f.layers[0].auxFlag = 2; }, kLayer + 26, 0},
        {"reserved layer byte", nullptr, kLayer + 29, 1},
        {"cell beyond the tileset", [](test::RmpFile& f) { f.layers[0].cells = {2}; }, kLayer + 32, 0},
        {"reserved entity byte", nullptr, kEntity + 15, 1},
        {"reserved zone byte", nullptr, kZone + 12, 1},
        {"segment-data flag 0", nullptr, kTileset + 15, 0},
        {"reserved tileset byte", nullptr, kTileset + 200, 1},
        {"information flag 2", nullptr, kInfo + 1, 2},
        {"segments as a mask", nullptr, kInfo + 7, 1},
        {"reserved information byte", nullptr, kInfo + 31, 1},
        {"tileset signature", nullptr, kTileset, 'x', false},
        {"tileset version", nullptr, kTileset + 4, 2, false},
        {"bits per pixel", nullptr, kTileset + 12, 24, false},
        {"tiles of no width", nullptr, kTileset + 8, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::RmpFile file = plain();
        if (c.edit != nullptr) {
            c.edit(file);
        }
        Bytes bytes = file.Build();
        if (c.edit == nullptr) {
            bytes[c.at] = c.value;
        }
        MemoryFileSystem files;
        const Expected<void> exported = Export(files, bytes);
        ASSERT_FALSE(exported);
        EXPECT_EQ(exported.error().Path(), "in.rmp");
        EXPECT_EQ(exported.error().Offset(), c.at);
        EXPECT_EQ(exported.error().Message().find("a Tiled map can't give it back") != std::string::npos, c.unkept)
            << exported.error().Message();
        EXPECT_FALSE(files.Has("out.tmj") || files.Has("out.tsj") || files.Has("out.png"));
    }
    {
        test::RmpFile file = plain();
        file.layers[0].cells = {0};
        Bytes bytes = file.Build();
        bytes[kTileset + 6] = 0;  // no tiles, and so no pixels or information either
        bytes.resize(kTileset + 256);
        MemoryFileSystem files;
        const Expected<void> exported = Export(files, bytes);
        ASSERT_FALSE(exported);
        EXPECT_EQ(exported.error().Offset(), kTileset + 6);
    }
    MemoryFileSystem files;
    Bytes longer = plain().Build();
    const Expected<void> cut = Export(files, Bytes(longer.begin(), longer.begin() + kLayer + 10));
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().Offset(), kLayer);
    ASSERT_TRUE(Export(files, longer));
    longer.push_back(0);
    const Expected<void> trailing = Export(files, longer);
    ASSERT_FALSE(trailing);
    EXPECT_EQ(trailing.error().Message(), "1 byte follows the end of the tileset");
}

// Each failed step of writing the three files fails the export with the reason and leaves no temporary file. A failed
// write leaves the files there before as they were: all three are written in full before any is put in place; a
// failure while putting them in place (closing, renaming) leaves those before it in place.
TEST(TiledExport, AFailedWriteLeavesTheOldFiles) {
    const Bytes rmp = Everything().Build();
    int steps = 0;
    for (const test::FileOperation operation : {test::FileOperation::CreateTemporary, test::FileOperation::Write,
                                                test::FileOperation::Close, test::FileOperation::Rename}) {
        for (int call = 1;; ++call) {
            ASSERT_LT(call, 1000) << "the export never succeeds";
            MemoryFileSystem files;
            for (const char* old : {"out.tmj", "out.tsj", "out.png"}) {
                files.Put(old, Bytes{'o', 'l', 'd'});
            }
            files.Put("in.rmp", rmp);
            files.FailAt(operation, call);
            Expected<std::unique_ptr<File>> file = files.Open("in.rmp", OpenMode::Read);
            ASSERT_TRUE(file);
            const Expected<void> exported = tiled::ExportRmp(**file, "in.rmp", "out.tmj", files);
            file->reset();
            if (exported) {
                EXPECT_GT(call, 1);
                break;
            }
            ++steps;
            SCOPED_TRACE(exported.error().Text());
            EXPECT_EQ(exported.error().Message().rfind("cannot ", 0), 0U);
            EXPECT_EQ(files.OpenFiles(), 0);
            const bool placing = operation == test::FileOperation::Close || operation == test::FileOperation::Rename;
            const int replaced = placing ? call - 1 : 0;
            int kept = 0;
            for (const char* old : {"out.tmj", "out.tsj", "out.png"}) {
                kept += files.Get(old) == Bytes{'o', 'l', 'd'} ? 1 : 0;
            }
            EXPECT_EQ(kept, 3 - replaced);
            for (int n = 1; n <= 3; ++n) {
                for (const std::string old : {"out.tmj", "out.tsj", "out.png"}) {
                    EXPECT_FALSE(files.Has("." + old + ".gridport-" + std::to_string(n))) << old << n;
                }
            }
        }
    }
    EXPECT_GE(steps, 9);
}

// Object layers without tile layers before them: the map is still well-formed JSON, with ids from 1.
TEST(TiledExport, EntitiesAndZonesWithoutLayers) {
    test::RmpFile file = Everything();
    file.layers.clear();
    MemoryFileSystem files;
    ASSERT_TRUE(Export(files, file.Build()));
    const json map = Read(files, "out.tmj");
    EXPECT_EQ(map["width"], 0);
    ASSERT_EQ(map["layers"].size(), 2U);
    EXPECT_EQ(map["layers"][0]["id"], 1);
    EXPECT_EQ(map["layers"][1]["name"], "zones");
    EXPECT_EQ(map["nextlayerid"], 3);
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// The file cut after every byte, or with one byte more, fails with a reason naming it at a byte within it, and
// writes nothing.
TEST(TiledExport, AFileCutAnywhereOrLongerFailsAtAByteOfIt) {
    const Bytes whole = Everything().Build();
    for (std::size_t size = 0; size <= whole.size() + 1; ++size) {
        if (size == whole.size()) {
            continue;
        }
        SCOPED_TRACE(size);
        Bytes bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(std::min(size, whole.size())));
        bytes.resize(size, 0);
        MemoryFileSystem files;
        const Expected<void> exported = Export(files, bytes);
        ASSERT_FALSE(exported);
        EXPECT_EQ(exported.error().Path(), "in.rmp");
        EXPECT_LE(exported.error().Offset().value_or(0), size);
        EXPECT_FALSE(files.Has("out.tmj") || files.Has("out.tsj") || files.Has("out.png"));
    }
}

}  // namespace
}  // namespace gridport
