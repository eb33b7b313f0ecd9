#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <functional>
#include <map>
#include <set>

#include "support/SampleRmp.h"
#include "support/TiledMap.h"
#include "tiled/Inflate.h"
#include "tiled/TiledImport.h"

namespace gridport {
namespace {

using Json = nlohmann::json;
using test::Bytes;
using test::MemoryFileSystem;

// A map's files put in memory, its tileset in 3 columns (the last row not full), then changed by a case.
struct Files {
    explicit Files(const TileMap& map, const std::function<void(Json&, Json&)>& change = {}) {
        Json mapJson = test::TiledMapJson(map);
        Json tilesetJson = test::TiledTilesetJson(map.tileset, 3);
        if (change) {
            change(mapJson, tilesetJson);
        }
        test::PutTiledMap(files, mapJson, tilesetJson, test::TilesetPng(map.tileset, 3));
    }
    Expected<TiledImportSummary> Import(const std::string& output = "out.rmp") {
        return ImportTiledMap("map.tmj", files, output);
    }
    MemoryFileSystem files;
};

std::string Base64(const Bytes& bytes) {
    static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t bits = (std::uint32_t{bytes[i]} << 16) |
                                   (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                   (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        for (std::size_t k = 0; k < 4; ++k) {
            text += k <= bytes.size() - i ? kDigits[(bits >> (18 - 6 * k)) & 63] : '=';
        }
    }
    return text;
}

// zlib's (15 window bits) or gzip's (31) stream of the bytes.
Bytes Deflate(const Bytes& bytes, int windowBits) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&z, bytes.size()) + 32);
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes GidBytes(const Json& data) {
    Bytes bytes;
    for (const Json& gid : data) {
        const auto value = gid.get<std::uint32_t>();
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
    }
    return bytes;
}

TEST(TiledImport, EveryFieldComesBackAsTheReferenceWriterWritesIt) {
    const TileMap map = test::SampleTiledMap();
    Files files(map);
    const Expected<TiledImportSummary> checked = ImportTiledMap("map.tmj", files.files, std::nullopt);
    ASSERT_TRUE(checked) << checked.error().Text();
    EXPECT_FALSE(files.files.Has("out.rmp"));
    EXPECT_EQ(DescribeImport(*checked), "2 layers, 4 x 3 cells, 5 tiles, 3 entities, 2 zones");
    const Expected<TiledImportSummary> imported = files.Import();
    ASSERT_TRUE(imported) << imported.error().Text();
    EXPECT_EQ(files.files.Get("out.rmp"), test::SaveToMemory(map));
}

TEST(TiledImport, DataAsListBase64ZlibAndGzipGiveTheSameFile) {
    const TileMap map = test::SampleTiledMap();
    const Bytes expected = test::SaveToMemory(map);
    for (const std::string encoding : {"list", "base64", "zlib", "gzip"}) {
        Files files(map, [&](Json& tiled, Json&) {
            for (Json& layer : tiled["layers"]) {
                if (layer["type"] == "tilelayer" && encoding != "list") {
                    const Bytes bytes = GidBytes(layer["data"]);
                    layer["encoding"] = "base64";
                    layer["compression"] = encoding == "base64" ? "" : encoding;
                    layer["data"] = Base64(encoding == "base64" ? bytes : Deflate(bytes, encoding == "zlib" ? 15 : 31));
                }
            }
        });
        const Expected<TiledImportSummary> imported = files.Import();
        ASSERT_TRUE(imported) << encoding << ": " << imported.error().Text();
        EXPECT_EQ(files.files.Get("out.rmp"), expected) << encoding;
    }
}

TEST(TiledImport, EmptyCellsTakeOneTransparentTileAfterTheTileset) {
    TileMap map = test::SampleTiledMap();
    Files files(map, [](Json& tiled, Json&) { tiled["layers"][1]["data"][4] = 0; });  // cell (0, 1) of "top"
    ASSERT_TRUE(files.Import());
    map.layers[1].tiles[2] = 5;
    map.tileset.tiles.push_back(Tile{RgbaImage(2, 3), false, 0, 0, {}});
    EXPECT_EQ(files.files.Get("out.rmp"), test::SaveToMemory(map));
}

TEST(TiledImport, BitPatternsAndBytesPropertiesKeepExactValues) {
    TileMap map = test::SampleTiledMap();
    Files files(map, [](Json& tiled, Json&) {
        tiled["layers"][0]["properties"].push_back({{"name", "rate x"}, {"type", "string"}, {"value", "0x80000000"}});
        tiled["layers"][0]["properties"].push_back({{"name", "name bytes"}, {"type", "string"}, {"value", "/w=="}});
        tiled["properties"].push_back({{"name", "text A bytes"}, {"type", "string"}, {"value", "gIE="}});
    });
    ASSERT_TRUE(files.Import());
    map.layers[0].rateX = -0.0F;
    map.layers[0].name = "\xFF";
    map.textA = "\x80\x81";
    EXPECT_EQ(files.files.Get("out.rmp"), test::SaveToMemory(map));
}

// An 8-bit RGBA PNG of the pixels, interlaced (Adam7) or not, by libpng itself.
Bytes EncodePng(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& pixels, bool interlaced) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t count) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + count);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_bytep> rows;
    for (std::uint32_t y = 0; y < height; ++y) {
        rows.push_back(const_cast<png_bytep>(pixels.data()) + std::size_t{y} * width * 4);
    }
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(TiledImport, MarginSpacingColourKeyAndInterlacedPictures) {
    // 3 columns of 2 x 3 tiles, 1 pixel of margin around and 2 between them: 12 x 10 pixels, the gaps grey.
    TileMap map = test::SampleTiledMap();
    const std::uint32_t width = 12;
    const std::uint32_t height = 10;
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4, 0x80);
    for (std::size_t i = 0; i < map.tileset.tiles.size(); ++i) {
        for (std::size_t y = 0; y < 3; ++y) {
            const std::size_t top = 1 + (i / 3) * 5 + y;
            const std::size_t left = 1 + (i % 3) * 4;
            std::copy_n(map.tileset.tiles[i].image.pixels.begin() + static_cast<std::ptrdiff_t>(y * 8), 8,
                        pixels.begin() + static_cast<std::ptrdiff_t>((top * width + left) * 4));
        }
    }
    // The colour of tile 3's first pixel becomes transparent wherever it is.
    const std::array<std::uint8_t, 3> key = {120, 127, 134};
    for (Tile& tile : map.tileset.tiles) {
        for (std::size_t p = 0; p < tile.image.pixels.size(); p += 4) {
            if (std::equal(key.begin(), key.end(), tile.image.pixels.begin() + static_cast<std::ptrdiff_t>(p))) {
                tile.image.pixels[p + 3] = 0;
            }
        }
    }
    ASSERT_EQ(map.tileset.tiles[3].image.pixels[3], 0);
    for (const bool interlaced : {false, true}) {
        Files files(map, [](Json&, Json& t) {
            t["margin"] = 1;
            t["spacing"] = 2;
            t["imagewidth"] = 12;
            t["imageheight"] = 10;
            t["transparentcolor"] = "#787f86";
        });
        files.files.Put("tiles.png", EncodePng(width, height, pixels, interlaced));
        const Expected<TiledImportSummary> imported = files.Import();
        ASSERT_TRUE(imported) << imported.error().Text();
        EXPECT_EQ(files.files.Get("out.rmp"), test::SaveToMemory(map)) << interlaced;
    }
}

struct Failure {
    const char* name;
    std::function<void(Json& map, Json& tileset)> change;
    const char* path;
    const char* reason;
    std::string output = "out.rmp";
    std::string rawMap = "";
    std::size_t pngBytes = 0;  // when set, the picture cut to this many bytes
};

TEST(TiledImport, EveryFailureNamesItsFileAndReason) {
    const auto layer = [](Json& map) -> Json& { return map["layers"][0]; };
    // The first layer's data as this base64 text.
    const auto base64 = [&](std::string text) {
        return [&layer, text](Json& m, Json&) {
            layer(m)["encoding"] = "base64";
            layer(m)["data"] = text;
        };
    };
    const std::vector<Failure> failures = {
        {"several tilesets", [](Json& m, Json&) { m["tilesets"].push_back(m["tilesets"][0]); }, "map.tmj",
         "the map uses 2 tilesets"},
        {"image collection", [](Json&, Json& t) { t.erase("image"); }, "tiles.tsj", "tiles of several sizes"},
        {"flipped tile", [&](Json& m, Json&) { layer(m)["data"][5] = 0x80000002U; }, "map.tmj",
         "layer \"ground\": cell (1, 1) is flipped or rotated"},
        {"infinite", [](Json& m, Json&) { m["infinite"] = true; }, "map.tmj", "the map is infinite"},
        {"chunks", [&](Json& m, Json&) { layer(m)["chunks"] = Json::array(); }, "map.tmj", "in chunks"},
        {"image layer", [](Json& m, Json&) { m["layers"].push_back({{"type", "imagelayer"}, {"name", "sky"}}); },
         "map.tmj", "layer \"sky\" is an image layer"},
        {"group layer", [](Json& m, Json&) { m["layers"].push_back({{"type", "group"}, {"name", "g"}}); }, "map.tmj",
         "layer \"g\" is a group layer"},
        {"other object layer",
         [](Json& m, Json&) { m["layers"].push_back({{"type", "objectgroup"}, {"name", "npcs"}, {"objects", {}}}); },
         "map.tmj", "layer \"npcs\" is an object layer"},
        {"isometric", [](Json& m, Json&) { m["orientation"] = "isometric"; }, "map.tmj",
         "the map is isometric; only orthogonal"},
        {"256 tile layers",
         [&](Json& m, Json&) {
             const Json copy = layer(m);
             m["layers"] = Json::array();
             for (int i = 0; i < 256; ++i) {
                 m["layers"].push_back(copy);
             }
         },
         "map.tmj", "the map has 256 tile layers; the RMP format holds at most 255"},
        {"65535 tiles and the extra one",
         [&](Json& m, Json& t) {
             t["tilecount"] = 65535;
             layer(m)["data"][0] = 0;
         },
         "map.tmj", "cell (0, 0) is empty, which needs one more tile than the tileset's 65535"},
        {"65536 tiles", [](Json&, Json& t) { t["tilecount"] = 65536; }, "tiles.tsj",
         "the tileset has 65536 tiles; the RMP format holds at most 65535"},
        {"layer over 65535 wide",
         [&](Json& m, Json&) { layer(m)["properties"][0]["value"] = 65536; }, "map.tmj",
         "layer \"ground\": its size is 65536 x 3; an RMP layer is at most 65535 x 65535"},
        {"tile drawn beyond the layer's own size", [](Json& m, Json&) { m["layers"][1]["data"][2] = 1; }, "map.tmj",
         "layer \"top\": cell (2, 0) holds gid 1 outside the layer's own size 2 x 2"},
        {"cells not the tiles' size", [](Json& m, Json&) { m["tilewidth"] = 4; }, "map.tmj",
         "the map's cells are 4 x 3 pixels but its tiles 2 x 3"},
        {"gid beyond the tileset", [&](Json& m, Json&) { layer(m)["data"][11] = 6; }, "map.tmj",
         "layer \"ground\": cell (3, 2) holds gid 6, beyond the tileset (gids 1 to 5)"},
        {"malformed JSON", {}, "map.tmj", "byte 9: malformed JSON", "out.rmp", "{\"type\": x}"},
        {"list shorter than the layer", [&](Json& m, Json&) { layer(m)["data"].erase(0); }, "map.tmj",
         "its data holds 11 cells; its size 4 x 3 needs 12"},
        {"base64 shorter than the layer", base64(Base64(Bytes(44, 1))), "map.tmj",
         "its data holds 44 bytes; its size 4 x 3 needs 48"},
        {"zlib data longer than the layer",
         [&](Json& m, Json&) {
             layer(m)["encoding"] = "base64";
             layer(m)["compression"] = "zlib";
             layer(m)["data"] = Base64(Deflate(Bytes(52, 0), 15));
         },
         "map.tmj", "its data holds more than its size 4 x 3 needs"},
        {"damaged gzip",
         [&](Json& m, Json&) {
             layer(m)["encoding"] = "base64";
             layer(m)["compression"] = "gzip";
             layer(m)["data"] = Base64(Bytes(20, 7));
         },
         "map.tmj", "layer \"ground\"'s data is not valid gzip data"},
        {"zstd",
         [&](Json& m, Json&) {
             layer(m)["encoding"] = "base64";
             layer(m)["compression"] = "zstd";
             layer(m)["data"] = "AAAA";
         },
         "map.tmj", "its data is zstd-compressed; only uncompressed, zlib and gzip data import"},
        {"XML tileset", [](Json& m, Json&) { m["tilesets"][0]["source"] = "tiles.tsx"; }, "map.tmj",
         "save the tileset as JSON, or embed it"},
        {"picture size not the declared", [](Json&, Json& t) { t["imagewidth"] = 8; }, "tiles.png",
         "the picture is 6 x 6 pixels; the tileset tiles.tsj says 8 x 6"},
        {"picture wider than the columns",
         [](Json&, Json& t) {
             t["columns"] = 1;
             t.erase("imagewidth");
             t.erase("imageheight");
         },
         "tiles.png", "the picture is 6 x 6 pixels; the tileset's 5 tiles of 2 x 3 in 1 column need 2 x 15"},
        {"property of the wrong type", [&](Json& m, Json&) { layer(m)["properties"][2]["value"] = 1; }, "map.tmj",
         "property \"factors enabled\" is not true or false"},
        {"bad segments", [&](Json& m, Json&) { layer(m)["properties"][8]["value"] = "1 2 3"; }, "map.tmj",
         "property \"segments\" line 1 is not four signed 32-bit numbers"},
        {"entity kind 1", [](Json& m, Json&) { m["layers"][2]["objects"][0]["properties"][1]["value"] = 1; },
         "map.tmj", "object layer \"entities\", object 1: property \"kind\" is 1"},
        {"picture not a PNG", {}, "tiles.png", "byte 0: not a PNG file", "out.rmp", "", 7},
        {"picture cut short", {}, "tiles.png", "damaged PNG data: the file ends before its picture does", "out.rmp", "",
         60},
        {"output is the map", {}, "map.tmj", "the output is the input map.tmj", "map.tmj"},
        {"output is the picture", {}, "tiles.png", "the output is the input tiles.png", "tiles.png"},
        // The map as it is parsed: its bytes, its cells read as they go by, and each kind of value taken from it.
        {"XML map", {}, "map.tmj", "an XML file, not JSON", "out.rmp", "<?xml version=\"1.0\"?><map/>"},
        {"number beyond a double", {}, "map.tmj", "unexpected JSON: [json.exception.out_of_range.406] number overflow",
         "out.rmp", "{\"layers\": [{\"data\": [1e999]}]}"},
        {"a list among the cells", [&](Json& m, Json&) { layer(m)["data"][3] = Json::array({1}); }, "map.tmj",
         "layer \"ground\": a gid is not a number"},
        {"an object among the cells", [&](Json& m, Json&) { layer(m)["data"][3] = {{"a", {1, 2}}}; }, "map.tmj",
         "layer \"ground\": a gid is not a number"},
        {"a cell of text", [&](Json& m, Json&) { layer(m)["data"][3] = "1"; }, "map.tmj", "a gid is not a number"},
        {"a cell beyond 32 bits", [&](Json& m, Json&) { layer(m)["data"][3] = 1ULL << 40; }, "map.tmj",
         "a gid is 1099511627776; it must be 0 to 4294967295"},
        {"a cell not whole", [&](Json& m, Json&) { layer(m)["data"][3] = 1.5; }, "map.tmj", "a gid is 1.5, not a whole"},
        {"data an object", [&](Json& m, Json&) { layer(m)["data"] = {{"a", {1, 2}}}; }, "map.tmj",
         "layer \"ground\": its data is neither a list of gids nor base64 text"},
        {"data text without its encoding", [&](Json& m, Json&) { layer(m)["data"] = "AAAA"; }, "map.tmj",
         "its data is neither a list of gids nor base64 text"},
        {"encoding not text",
         [&](Json& m, Json&) {
             layer(m)["data"] = "AAAA";
             layer(m)["encoding"] = 64;
         },
         "map.tmj", "layer \"ground\": encoding is not text"},
        {"the second layer without data", [](Json& m, Json&) { m["layers"][1].erase("data"); }, "map.tmj",
         "layer \"top\": no data"},
        {"chunks of cells", [&](Json& m, Json&) { layer(m)["chunks"] = {{{"data", {1, 2}}}}; }, "map.tmj", "in chunks"},
        {"base64 longer than the layer", base64(Base64(Bytes(60, 1))), "map.tmj",
         "its data holds more than its size 4 x 3 needs"},
        {"base64 of a stray character", base64("AAAA!AAA"), "map.tmj", "its data is not valid base64"},
        {"base64 past its padding", base64("AA=A"), "map.tmj", "its data is not valid base64"},
        {"base64 of one digit too many", base64("AAAAA"), "map.tmj", "its data is not valid base64"},
        {"base64 padded thrice", base64("AA==="), "map.tmj", "its data is not valid base64"},
        {"no layers", [](Json& m, Json&) { m.erase("layers"); }, "map.tmj", "no layers"},
        {"layers not a list", [](Json& m, Json&) { m["layers"] = {{"a", 1}}; }, "map.tmj", "layers is not a list"},
        {"infinite not a flag", [](Json& m, Json&) { m["infinite"] = "no"; }, "map.tmj", "infinite is not true or false"},
        {"orientation not text", [](Json& m, Json&) { m["orientation"] = 1; }, "map.tmj", "orientation is not text"},
        {"no tile width", [](Json&, Json& t) { t.erase("tilewidth"); }, "tiles.tsj", "no tilewidth"},
        {"tile width not whole", [](Json&, Json& t) { t["tilewidth"] = 2.5; }, "tiles.tsj",
         "tilewidth is 2.5, not a whole number"},
        {"tile width not a number", [](Json&, Json& t) { t["tilewidth"] = "2"; }, "tiles.tsj",
         "tilewidth is not a number"},
        {"tiles not a list", [](Json&, Json& t) { t["tiles"] = 5; }, "tiles.tsj", "tiles is not a list"},
        {"layer width beyond 64 bits signed", [&](Json& m, Json&) { layer(m)["properties"][0]["value"] = 1ULL << 63; },
         "map.tmj", "property \"width\" is 9223372036854775808; it must be 0 to 2147483647"},
        {"properties not a list", [&](Json& m, Json&) { layer(m)["properties"] = 5; }, "map.tmj",
         "layer \"ground\": its properties are not a list"},
        {"a property without a value", [&](Json& m, Json&) { layer(m)["properties"].push_back({{"name", "x"}}); },
         "map.tmj", "a property without a name or a value"},
        {"a rate beyond a float",
         [&](Json& m, Json&) { layer(m)["properties"].push_back({{"name", "rate x"}, {"value", 1e39}}); }, "map.tmj",
         "property \"rate x\" is 1e+39, beyond a 32-bit float"},
        {"a rate of a short bit pattern",
         [&](Json& m, Json&) { layer(m)["properties"].push_back({{"name", "rate x"}, {"value", "0x1234"}}); },
         "map.tmj", "property \"rate x\" is neither a number nor a bit pattern 0x%08x"},
        {"name bytes not base64",
         [&](Json& m, Json&) { layer(m)["properties"].push_back({{"name", "name bytes"}, {"value", "!!"}}); },
         "map.tmj", "property \"name bytes\" is not base64 text"},
        {"a text property of a number",
         [](Json& m, Json&) { m["properties"].push_back({{"name", "text A"}, {"value", 5}}); }, "map.tmj",
         "property \"text A\" is not text"},
        {"a text of a zero byte",
         [](Json& m, Json&) { m["properties"].push_back({{"name", "text A bytes"}, {"value", "AA=="}}); }, "map.tmj",
         "property \"text A bytes\" holds a zero byte, which an RMP string can't"},
        {"a text too long for an RMP string",
         [](Json& m, Json&) { m["properties"].push_back({{"name", "text B"}, {"value", std::string(65536, 'b')}}); },
         "map.tmj", "property \"text B\" is 65536 bytes long; an RMP string holds at most 65535"},
        {"segments of five numbers", [&](Json& m, Json&) { layer(m)["properties"][8]["value"] = "1 2 3 4 5"; },
         "map.tmj", "property \"segments\" line 1 holds more than four numbers"},
        {"an entity's place not a number", [](Json& m, Json&) { m["layers"][2]["objects"][0]["x"] = "1"; }, "map.tmj",
         "object layer \"entities\", object 1: x is not a number"},
        {"an entity beyond 65535", [](Json& m, Json&) { m["layers"][2]["objects"][0]["x"] = 1e6; }, "map.tmj",
         "object layer \"entities\", object 1: x is 1000000.0; it must be 0 to 65535"},
        {"a colour key too short", [](Json&, Json& t) { t["transparentcolor"] = "#12345"; }, "tiles.tsj",
         "transparentcolor is not a colour #rrggbb"},
        {"a colour key not hexadecimal", [](Json&, Json& t) { t["transparentcolor"] = "#12345g"; }, "tiles.tsj",
         "transparentcolor is not a colour #rrggbb"},
        {"a colour key of a number", [](Json&, Json& t) { t["transparentcolor"] = 5; }, "tiles.tsj",
         "transparentcolor is not a colour #rrggbb"},
        {"a tileset not an object", [](Json&, Json& t) { t = Json::array(); }, "tiles.tsj",
         "the tileset is not a JSON object"},
        {"a tileset of another type", [](Json&, Json& t) { t["type"] = "map"; }, "tiles.tsj",
         "not a Tiled tileset (its type is \"map\")"},
        {"a tileset's source not text", [](Json& m, Json&) { m["tilesets"][0]["source"] = 5; }, "map.tmj",
         "its tileset's source is not text"},
        {"an embedded tileset of images", [](Json& m, Json&) { m["tilesets"][0] = {{"firstgid", 1}}; }, "map.tmj",
         "its tileset: the tileset is a collection of images"},
        {"a map of another type", [](Json& m, Json&) { m["type"] = "tileset"; }, "map.tmj",
         "not a Tiled map (its type is \"tileset\")"},
        {"two entity layers", [](Json& m, Json&) { m["layers"].push_back(m["layers"][2]); }, "map.tmj",
         "two object layers are named \"entities\""},
        {"a layer larger than its data", [&](Json& m, Json&) { layer(m)["properties"][0]["value"] = 5; }, "map.tmj",
         "its size 5 x 3 is larger than its data's 4 x 3"},
        {"a layer's name of a zero byte", [&](Json& m, Json&) { layer(m)["name"] = std::string("a\0b", 3); },
         "map.tmj", "its name holds a zero byte"},
        {"a tileset at a rooted path", [](Json& m, Json&) { m["tilesets"][0]["source"] = "/elsewhere/tiles.tsj"; },
         "/elsewhere/tiles.tsj", "cannot open"},
        {"a tileset at a drive's path", [](Json& m, Json&) { m["tilesets"][0]["source"] = "C:\\tiles.tsj"; },
         "C:\\tiles.tsj", "cannot open"},
    };
    for (const Failure& failure : failures) {
        Files files(test::SampleTiledMap(), failure.change);
        if (!failure.rawMap.empty()) {
            files.files.Put("map.tmj", Bytes(failure.rawMap.begin(), failure.rawMap.end()));
        }
        if (failure.pngBytes > 0) {
            const Bytes png = files.files.Get("tiles.png");
            files.files.Put("tiles.png", Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(failure.pngBytes)));
        }
        files.files.Put("out.rmp", {1, 2, 3});
        const Expected<TiledImportSummary> imported = files.Import(failure.output);
        ASSERT_FALSE(imported) << failure.name;
        const std::string text = imported.error().Text();
        EXPECT_EQ(text.rfind(failure.path + std::string(": "), 0), 0U) << failure.name << ": " << text;
        EXPECT_NE(text.find(failure.reason), std::string::npos) << failure.name << ": " << text;
        EXPECT_EQ(files.files.Get("out.rmp"), (Bytes{1, 2, 3})) << failure.name;
    }
}

// A repeated member counts as its last, as in any parsed value: a layer's first data is passed over, and so is a first
// "layers" list whose cells would fail.
TEST(TiledImport, ARepeatedDataOrLayersMemberIsItsLast) {
    const TileMap map = test::SampleTiledMap();
    Files files(map);
    std::string text = test::TiledMapJson(map).dump();
    text.insert(text.find("\"data\":["), "\"data\":[[1], 7],");
    text.insert(1, "\"layers\":[{\"type\":\"tilelayer\",\"data\":[{}]}],");
    files.files.Put("map.tmj", Bytes(text.begin(), text.end()));
    const Expected<TiledImportSummary> imported = files.Import();
    ASSERT_TRUE(imported) << imported.error().Text();
    EXPECT_EQ(files.files.Get("out.rmp"), test::SaveToMemory(map));
}

// Every read of the files failing in turn, then every seek: the file's own reason, never the JSON cut short it leaves,
// for the map's second parse as for its first.
TEST(TiledImport, AFailedReadOrRewindIsTheFilesOwnReason) {
    for (const test::FileOperation operation : {test::FileOperation::Read, test::FileOperation::Seek}) {
        std::map<std::string, int> failures;  // of each file
        for (int call = 1;; ++call) {
            Files files(test::SampleTiledMap());
            files.files.FailAt(operation, call);
            const Expected<TiledImportSummary> imported = files.Import();
            if (imported) {
                break;
            }
            SCOPED_TRACE(imported.error().Text());
            EXPECT_EQ(imported.error().Message().rfind("cannot ", 0), 0U);
            EXPECT_FALSE(files.files.Has("out.rmp"));
            ++failures[imported.error().Path()];
        }
        // Each parse of the map reads its bytes, then its end; the second first goes back to its start.
        EXPECT_EQ(failures["map.tmj"], operation == test::FileOperation::Read ? 4 : 1);
    }
}

TEST(TiledImport, AFifoOrDeviceForAnyInputIsRefusedWithoutWaiting) {
    for (const std::string input : {"map.tmj", "tiles.tsj", "tiles.png"}) {
        for (const FileKind kind : {FileKind::Fifo, FileKind::Device}) {
            Files files(test::SampleTiledMap());
            files.files.PutDevice(input, kind);
            const Expected<TiledImportSummary> imported = files.Import();
            ASSERT_FALSE(imported) << input;
            EXPECT_EQ(imported.error().Text(), input + ": not a regular file (" + KindName(kind) + ")");
            EXPECT_FALSE(files.files.Has("out.rmp"));
        }
    }
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// Every place in a map and its tileset (each key and each array's first two elements, at every depth), taken away
// or given a value of another type, and each text cut in half or with a stray byte, imports or fails with a one-line
// reason naming a file; checking alone agrees. The map's layers are tried with their data as a list, and in base64
// plain, zlib and gzip.
TEST(TiledImport, EveryValueTakenAwayOrOfAnotherTypeImportsOrFailsNamingAFile) {
    const TileMap sample = test::SampleTiledMap();
    const std::vector<Json> others = {nullptr, true, -1, 70000, 0.5, "text", Json::array(), Json::object()};
    std::size_t failed = 0;
    std::size_t runs = 0;
    struct Document {
        bool tileset;
        std::string encoding;
    };
    for (const Document& kind : {Document{false, "list"}, Document{true, "list"}, Document{false, "base64"},
                                 Document{false, "zlib"}, Document{false, "gzip"}}) {
        Json document = kind.tileset ? test::TiledTilesetJson(sample.tileset, 3) : test::TiledMapJson(sample);
        if (!kind.tileset) {
            for (Json& layer : document["layers"]) {
                if (layer["type"] == "tilelayer" && kind.encoding != "list") {
                    const Bytes bytes = GidBytes(layer["data"]);
                    layer["encoding"] = "base64";
                    layer["compression"] = kind.encoding == "base64" ? "" : kind.encoding;
                    layer["data"] =
                        Base64(kind.encoding == "base64" ? bytes : Deflate(bytes, kind.encoding == "zlib" ? 15 : 31));
                }
            }
        }
        std::set<std::string> places;
        const Json flat = document.flatten();
        for (const auto& leaf : flat.items()) {
            Json::json_pointer at(leaf.key());
            for (; !at.empty(); at = at.parent_pointer()) {
                const std::string token = at.back();
                if (token.find_first_not_of("0123456789") == std::string::npos && token > "1") {
                    break;  // the third element of an array and on stand for the first two
                }
                places.insert(at.to_string());
            }
        }
        for (const std::string& place : places) {
            const Json::json_pointer at(place);
            if (kind.encoding != "list" && place.rfind("/layers/0/", 0) != 0) {
                continue;  // the rest was tried with the list; the first layer stands for the others
            }
            std::vector<std::optional<Json>> changes(others.begin(), others.end());
            changes.push_back(std::nullopt);  // taken away
            if (const Json& value = document[at]; value.is_string()) {
                const std::string text = value;
                changes.push_back(text.substr(0, text.size() / 2));
                changes.push_back(text + "!");
            }
            for (std::size_t change = 0; change < changes.size(); ++change) {
                Json edited = document;
                if (changes[change]) {
                    edited[at] = *changes[change];
                } else if (Json& parent = edited[at.parent_pointer()]; parent.is_object()) {
                    parent.erase(at.back());
                } else {
                    parent.erase(std::stoul(at.back()));
                }
                Files files(sample, [&](Json& map, Json& tileset) { (kind.tileset ? tileset : map) = edited; });
                SCOPED_TRACE(kind.encoding + " " + place + " changed " + std::to_string(change));
                const Expected<TiledImportSummary> checked = ImportTiledMap("map.tmj", files.files, std::nullopt);
                const Expected<TiledImportSummary> imported = files.Import();
                ++runs;
                ASSERT_EQ(static_cast<bool>(checked), static_cast<bool>(imported));
                if (!imported) {
                    ++failed;
                    EXPECT_FALSE(imported.error().Path().empty()) << imported.error().Text();
                    EXPECT_EQ(imported.error().Text().find('\n'), std::string::npos) << imported.error().Text();
                    EXPECT_FALSE(files.files.Has("out.rmp"));
                }
            }
        }
    }
    EXPECT_GT(failed, runs / 4);  // most types are wrong somewhere
    EXPECT_LT(failed, runs);      // and some changes are kept out of the file (names, ids, defaults)
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// Each stream whole, cut short, with a byte more, damaged, or read as the other kind: the bytes, or why not.
TEST(Inflate, GivesTheBytesOrSaysWhyNot) {
    Bytes plain(200000);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        plain[i] = static_cast<std::uint8_t>(i * 7 / 3);
    }
    for (const Compression compression : {Compression::Zlib, Compression::Gzip}) {
        const std::string name = compression == Compression::Zlib ? "zlib" : "gzip";
        const Bytes packed = Deflate(plain, compression == Compression::Zlib ? 15 : 31);
        const std::string whole(packed.begin(), packed.end());
        std::string damaged = whole;
        damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x55);
        const Bytes otherPacked = Deflate(plain, compression == Compression::Zlib ? 31 : 15);
        const std::string other(otherPacked.begin(), otherPacked.end());  // the other kind's stream
        const std::vector<std::pair<std::string, std::string>> cases = {
            {whole, ""},
            {whole.substr(0, whole.size() - 5), "d ends before its " + name + " stream does"},
            {whole + "x", "d holds bytes after its " + name + " stream"},
            {damaged, "d "},  // not valid, or ended early: where the damage falls decides
            {other, "d "},
            {"", "d ends before its " + name + " stream does"},
            {std::string("\x78\xBB\0\0\0\0\x03\0", 8), "d "},  // a zlib stream that needs a dictionary

        };
        for (const auto& [input, reason] : cases) {
            Bytes out;
            const Expected<void> inflated = Inflate(
                input, compression,
                [&out](const std::uint8_t* bytes, std::size_t count) -> Expected<void> {
                    out.insert(out.end(), bytes, bytes + count);
                    return Success();
                },
                "m.tmj", "d");
            SCOPED_TRACE(name + ": " + reason);
            if (reason.empty()) {
                ASSERT_TRUE(inflated) << inflated.error().Text();
                EXPECT_EQ(out, plain);
            } else {
                ASSERT_FALSE(inflated);
                EXPECT_EQ(inflated.error().Path(), "m.tmj");
                EXPECT_EQ(inflated.error().Message().rfind(reason, 0), 0U) << inflated.error().Message();
            }
        }
        // The sink's own failure stops the inflating with its reason.
        const Expected<void> stopped = Inflate(
            whole, compression, [](const std::uint8_t*, std::size_t) -> Expected<void> { return Error("x", "full"); },
            "m.tmj", "d");
        ASSERT_FALSE(stopped);
        EXPECT_EQ(stopped.error().Text(), "x: full");
    }
}

}  // namespace
}  // namespace gridport
