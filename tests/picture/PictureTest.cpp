#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <chrono>
#include <random>

#include "support/ImportFixture.h"
#include "support/MapPicture.h"
#include "picture/Picture.h"
#include "picture/PngWriter.h"

namespace gridport {
namespace {

using test::Bytes;
using test::ImportFixture;
using test::MapPicture;
using test::MapV1File;
using test::MemoryFileSystem;
using test::VspColour;
using test::VspFile;
using Pixel = std::array<std::uint8_t, 4>;

struct BlendCase {
    Pixel below;
    Pixel above;
    Pixel expected;
};

class Blend : public ::testing::TestWithParam<BlendCase> {};

TEST_P(Blend, IsSourceOver) {
    Pixel pixel = GetParam().below;
    BlendOver(pixel.data(), GetParam().above.data());
    EXPECT_EQ(pixel, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Blend,
                         ::testing::Values(BlendCase{{1, 2, 3, 255}, {9, 8, 7, 255}, {9, 8, 7, 255}},
                                           BlendCase{{1, 2, 3, 255}, {9, 8, 7, 0}, {1, 2, 3, 255}},
                                           BlendCase{{0, 0, 200, 255}, {200, 0, 0, 128}, {100, 0, 100, 255}},
                                           BlendCase{{0, 0, 0, 0}, {200, 10, 0, 128}, {200, 10, 0, 128}},
                                           BlendCase{{0, 0, 255, 128}, {255, 0, 0, 128}, {170, 0, 85, 192}}));

// A map drawn at full size, as rmpview draws it: the shown layers, or one
// layer alone.
Expected<RgbaImage> Draw(const TileMap& map, std::optional<std::size_t> only) {
    MapPicture source(map);
    const Expected<std::vector<bool>> drawn = ChooseLayers(source, LayerChoice{only ? std::vector<std::size_t>{*only} : std::vector<std::size_t>{}, {}, {}, false});
    if (!drawn) {
        return drawn.error();
    }
    const Expected<PictureSize> size = ScalePicture(MeasurePicture(source), PictureScale{});
    if (!size) {
        return size.error();
    }
    return DrawPicture(source, *drawn, *size);
}

// A whole image as a PNG file.
Expected<void> WriteImage(const RgbaImage& image, const std::string& path, FileSystem& files) {
    const std::size_t stride = static_cast<std::size_t>(image.width) * 4;
    return WritePng(
        static_cast<std::uint32_t>(image.width), static_cast<std::uint32_t>(image.height),
        [&image, stride](std::uint32_t y) -> Expected<const std::uint8_t*> { return image.pixels.data() + y * stride; },
        path, files, PngUse::Picture);
}

Pixel At(const Bytes& rgba, std::size_t width, std::size_t x, std::size_t y) {
    Pixel pixel;
    std::copy_n(rgba.begin() + static_cast<std::ptrdiff_t>((y * width + x) * 4), 4, pixel.begin());
    return pixel;
}

// A converted version-1 map of 3 x 1 cells. Tile 0 is all palette index 0
// (transparent), tile 1 index 5, tile 2 index 7 in its top half and 0
// below. Background 0 1 1, foreground (0, empty) empty empty 2.
TEST(Picture, ConvertedMapDrawnToPngReadsBackWithLibpng) {
    VspFile vsp;
    vsp.count = 3;
    vsp.indices.assign(3 * 256, 0);
    std::fill_n(vsp.indices.begin() + 256, 256, 5);
    std::fill_n(vsp.indices.begin() + 512, 128, 7);
    MapV1File file;
    file.width = 3;
    file.height = 1;
    file.background = {0, 1, 1};
    file.foreground = {0, 0, 2};
    ImportFixture fixture;
    ASSERT_TRUE(fixture.Import(file.Build(), vsp.Build()));
    const Expected<RgbaImage> picture = Draw(fixture.map, std::nullopt);
    ASSERT_TRUE(picture) << picture.error().Text();
    ASSERT_TRUE(WriteImage(*picture, "out.png", fixture.files));

    const Bytes png = fixture.files.Get("out.png");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    image.format = PNG_FORMAT_RGBA;
    ASSERT_EQ(image.width, 48U);
    ASSERT_EQ(image.height, 16U);
    Bytes rgba(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
    const Pixel clear{0, 0, 0, 0};
    const Pixel five = VspColour(vsp.palette, 5);
    const Pixel seven = VspColour(vsp.palette, 7);
    EXPECT_EQ(At(rgba, 48, 0, 0), clear);
    EXPECT_EQ(At(rgba, 48, 15, 15), clear);
    EXPECT_EQ(At(rgba, 48, 16, 0), five);  // under the foreground's transparent tile
    EXPECT_EQ(At(rgba, 48, 31, 15), five);
    EXPECT_EQ(At(rgba, 48, 32, 7), seven);
    EXPECT_EQ(At(rgba, 48, 47, 8), five);
}

// Two layers of 2 x 1 cells over 1 x 1 tiles: tile 0 red, tile 1 blue.
struct SmallMap {
    SmallMap() {
        map.tileset.tileWidth = 1;
        map.tileset.tileHeight = 1;
        map.tileset.tiles.resize(2, Tile{RgbaImage(1, 1), false, 0, 0, {}});
        map.tileset.tiles[0].image.pixels = {255, 0, 0, 255};
        map.tileset.tiles[1].image.pixels = {0, 0, 255, 255};
        MapLayer layer;
        layer.width = 2;
        layer.height = 1;
        layer.tiles = {0, 99};
        map.layers.push_back(layer);
        layer.tiles = {1, 1};
        layer.showFlag = false;
        map.layers.push_back(layer);
    }
    Bytes Drawn(std::optional<std::size_t> layer) {
        const Expected<RgbaImage> picture = Draw(map, layer);
        EXPECT_TRUE(picture) << picture.error().Text();
        return picture ? picture->pixels : Bytes{};
    }
    // Why the map can't be drawn.
    std::string Refused(std::optional<std::size_t> layer) {
        const Expected<RgbaImage> picture = Draw(map, layer);
        return picture ? "" : picture.error().Text();
    }

    TileMap map;
};

TEST(Picture, HiddenLayersOnlyAloneAndIndicesBeyondTheTilesetDrawNothing) {
    SmallMap small;
    EXPECT_EQ(small.Drawn(std::nullopt), (Bytes{255, 0, 0, 255, 0, 0, 0, 0}));
    EXPECT_EQ(small.Drawn(1), (Bytes{0, 0, 255, 255, 0, 0, 255, 255}));
    EXPECT_EQ(small.Refused(2), "there is no layer 2; the map has 2 layers");
    // A name the map lacks lists the names it has.
    for (const std::size_t kept : {0, 1, 2}) {
        TileMap map = small.map;
        map.layers.resize(kept);
        MapPicture source(map);
        const Expected<std::vector<bool>> drawn = ChooseLayers(source, LayerChoice{{}, {"roof"}, {}, false});
        ASSERT_FALSE(drawn);
        const char* const listed[] = {"the map has no layers", "the layer is \"", "the layers are \""};
        EXPECT_EQ(drawn.error().Message().rfind("there is no layer named \"roof\"; " + std::string(listed[kept]), 0),
                  0U) << drawn.error().Message();
        EXPECT_EQ(drawn.error().Kind(), ErrorKind::Usage);
    }
}

TEST(Picture, RefusesPicturesOverTheSideLimitAndEmptyOnes) {
    SmallMap small;
    small.map.tileset.tiles.clear();
    small.map.tileset.tileWidth = 8192;
    EXPECT_EQ(small.Drawn(std::nullopt).size(), 16384U * 4);
    const std::pair<std::int32_t, std::int32_t> refused[] = {{8193, 1}, {1, 16385}, {0, 1}};
    const char* const reasons[] = {
        "the picture would be 16386 x 1 pixels; pictures are drawn at most 16384 pixels on a side (--scale or "
        "--size draws it smaller)",
        "the picture would be 2 x 16385 pixels; pictures are drawn at most 16384 pixels on a side (--scale or "
        "--size draws it smaller)",
        "there is nothing to draw: the picture would be 0 x 1 pixels"};
    for (std::size_t i = 0; i < 3; ++i) {
        small.map.tileset.tileWidth = refused[i].first;
        small.map.tileset.tileHeight = refused[i].second;
        EXPECT_EQ(small.Refused(std::nullopt), reasons[i]);
    }
}

// Both ways of writing: a picture of at most 1 MiB encoded on the caller's thread, a larger one on its own.
TEST(PngWriter, ReportsFilesItCannotWriteAndKeepsTheOldPicture) {
    for (const std::int32_t side : {4, 600}) {
        SCOPED_TRACE(side);
        MemoryFileSystem files;
        files.Put("out.png", {1, 2, 3});
        const std::vector<std::pair<test::FileOperation, std::string>> faults = {
            {test::FileOperation::Write, "out.png: cannot write: No space left on device"},
            {test::FileOperation::CreateTemporary,
             "out.png: cannot create a temporary file beside it: No space left on device"},
            {test::FileOperation::Rename, "out.png: cannot replace it with the new file: Permission denied"}};
        for (const auto& [operation, reason] : faults) {
            files.FailAt(operation, operation == test::FileOperation::Write ? 2 : 1);
            const Expected<void> written = WriteImage(RgbaImage(side, side), "out.png", files);
            ASSERT_FALSE(written);
            EXPECT_EQ(written.error().Text(), reason);
            EXPECT_EQ(files.Get("out.png"), (Bytes{1, 2, 3}));
            EXPECT_EQ(files.Paths(), std::vector<std::string>{"out.png"});
        }
        // A row that can't be had ends the picture with its reason, however far the encoding has come.
        const auto side32 = static_cast<std::uint32_t>(side);
        const Expected<void> cut = WritePng(
            side32, side32,
            [side32](std::uint32_t y) -> Expected<const std::uint8_t*> {
                static const std::vector<std::uint8_t> row(600 * 4, 0x80);
                if (y + 1 < side32) {
                    return row.data();
                }
                return Error("in.map", 7, "cut short");
            },
            "out.png", files, PngUse::Picture);
        ASSERT_FALSE(cut);
        EXPECT_EQ(cut.error().Text(), "in.map: byte 7: cut short");
        EXPECT_EQ(files.Paths(), std::vector<std::string>{"out.png"});
        EXPECT_EQ(files.OpenFiles(), 0);
        ASSERT_TRUE(WriteImage(RgbaImage(side, side), "out.png", files));
        EXPECT_GT(files.Get("out.png").size(), 3U);
    }
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// The box filter of a full-size picture, each output pixel the
// alpha-weighted mean of the k x k pixels under it.
RgbaImage BoxFilter(const RgbaImage& full, std::int32_t k) {
    RgbaImage small(full.width / k, full.height / k);
    for (std::int32_t y = 0; y < small.height; ++y) {
        for (std::int32_t x = 0; x < small.width; ++x) {
            std::uint64_t sums[4] = {0, 0, 0, 0};
            for (std::int32_t dy = 0; dy < k; ++dy) {
                for (std::int32_t dx = 0; dx < k; ++dx) {
                    const std::uint8_t* p =
                        full.pixels.data() + (static_cast<std::size_t>(y * k + dy) * full.width + x * k + dx) * 4;
                    for (std::size_t c = 0; c < 3; ++c) {
                        sums[c] += std::uint64_t{p[c]} * p[3];
                    }
                    sums[3] += p[3];
                }
            }
            const std::uint64_t count = static_cast<std::uint64_t>(k) * k;
            std::uint8_t* to = small.pixels.data() + (static_cast<std::size_t>(y) * small.width + x) * 4;
            const std::uint64_t alpha = (sums[3] + count / 2) / count;
            for (std::size_t c = 0; c < 3; ++c) {
                to[c] = alpha == 0 ? 0 : static_cast<std::uint8_t>((sums[c] + sums[3] / 2) / sums[3]);
            }
            to[3] = static_cast<std::uint8_t>(alpha);
        }
    }
    return small;
}

// The full-size picture drawn plainly: every layer's tiles, in order,
// composited pixel by pixel onto a transparent canvas.
RgbaImage PlainPicture(const TileMap& map, PictureSize full) {
    RgbaImage canvas(static_cast<std::int32_t>(full.width), static_cast<std::int32_t>(full.height));
    const std::int32_t tileWidth = map.tileset.tileWidth;
    const std::int32_t tileHeight = map.tileset.tileHeight;
    for (const MapLayer& layer : map.layers) {
        for (std::int32_t i = 0; i < layer.width * layer.height; ++i) {
            const std::uint32_t tile = layer.tiles[static_cast<std::size_t>(i)];
            if (tile >= map.tileset.tiles.size()) {
                continue;
            }
            for (std::int32_t y = 0; y < tileHeight; ++y) {
                for (std::int32_t x = 0; x < tileWidth; ++x) {
                    const std::size_t at = static_cast<std::size_t>(i / layer.width * tileHeight + y) * canvas.width +
                                           static_cast<std::size_t>(i % layer.width * tileWidth + x);
                    BlendOver(canvas.pixels.data() + at * 4,
                              map.tileset.tiles[tile].image.pixels.data() + (y * tileWidth + x) * 4);
                }
            }
        }
    }
    return canvas;
}

// Maps of up to four layers over tiles of transparent, opaque and
// half-covered pixels, some cells beyond the tileset: at full size the
// picture is the plain one, and drawn at 1/k for
// every k that divides the tile, the picture is the box filter of the
// full-size one, within 1 in every channel.
TEST(Picture, ReducedPicturesAreTheBoxFilterOfTheFullSizeOne) {
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t below) {
        seed = seed * 1664525U + 1013904223U;
        return (seed >> 8) % below;
    };
    for (int round = 0; round < 24; ++round) {
        TileMap map;
        const std::int32_t side = std::int32_t{1} << (1 + next(4));
        map.tileset.tileWidth = side;
        map.tileset.tileHeight = round % 3 == 0 ? 2 * side : side;
        const auto tileCount = 1 + next(6);
        for (std::uint32_t t = 0; t < tileCount; ++t) {
            Tile tile;
            tile.image = RgbaImage(map.tileset.tileWidth, map.tileset.tileHeight);
            const std::uint32_t kind = next(3);
            for (std::size_t i = 0; i < tile.image.pixels.size(); i += 4) {
                for (std::size_t c = 0; c < 3; ++c) {
                    tile.image.pixels[i + c] = static_cast<std::uint8_t>(next(256));
                }
                const std::uint32_t alpha = kind == 0 ? 255 : kind == 1 ? next(2) * 255 : next(256);
                tile.image.pixels[i + 3] = static_cast<std::uint8_t>(alpha);
            }
            map.tileset.tiles.push_back(std::move(tile));
        }
        const std::uint32_t layers = 1 + next(4);
        for (std::uint32_t l = 0; l < layers; ++l) {
            MapLayer layer;
            layer.name = "layer " + std::to_string(l);
            layer.width = static_cast<std::int32_t>(1 + next(7));
            layer.height = static_cast<std::int32_t>(1 + next(7));
            for (std::int32_t i = 0; i < layer.width * layer.height; ++i) {
                layer.tiles.push_back(next(tileCount + 2));
            }
            map.layers.push_back(std::move(layer));
        }
        MapPicture source(map);
        const Expected<std::vector<bool>> drawn = ChooseLayers(source, LayerChoice{});
        ASSERT_TRUE(drawn);
        const PictureSize full = MeasurePicture(source);
        const Expected<RgbaImage> whole = DrawPicture(source, *drawn, full);
        ASSERT_TRUE(whole);
        ASSERT_EQ(whole->pixels, PlainPicture(map, full).pixels) << "round " << round;
        for (std::int32_t k = 2; k <= std::min(map.tileset.tileWidth, map.tileset.tileHeight); k *= 2) {
            const Expected<RgbaImage> small = DrawPicture(source, *drawn, PictureSize{full.width / k, full.height / k});
            ASSERT_TRUE(small);
            const RgbaImage expected = BoxFilter(*whole, k);
            ASSERT_EQ(small->pixels.size(), expected.pixels.size());
            for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
                ASSERT_LE(std::abs(small->pixels[i] - expected.pixels[i]), 1)
                    << "round " << round << ", 1/" << k << ", byte " << i;
            }
        }
    }
}

// count tiles of width x height, their pixels' colours and alphas drawn
// from random; opaque ones (alpha 255) when alpha is 255, else any alpha.
std::vector<Tile> RandomTiles(std::mt19937& random, std::size_t count, std::int32_t width, std::int32_t height,
                              int alpha = -1) {
    std::vector<Tile> tiles(count);
    for (Tile& tile : tiles) {
        tile.image = RgbaImage(width, height);
        for (std::size_t i = 0; i < tile.image.pixels.size(); ++i) {
            tile.image.pixels[i] = static_cast<std::uint8_t>(i % 4 == 3 && alpha >= 0 ? alpha : random() % 256);
        }
    }
    return tiles;
}

// A map of `layers` layers of width x height cells, each cell a random tile.
TileMap RandomMap(std::mt19937& random, std::vector<Tile> tiles, std::size_t layers, std::int32_t width,
                  std::int32_t height) {
    TileMap map;
    map.tileset.tileWidth = tiles.front().image.width;
    map.tileset.tileHeight = tiles.front().image.height;
    const auto count = static_cast<std::uint32_t>(tiles.size());
    map.tileset.tiles = std::move(tiles);
    for (std::size_t l = 0; l < layers; ++l) {
        MapLayer layer;
        layer.name = "layer " + std::to_string(l);
        layer.width = width;
        layer.height = height;
        for (std::int32_t i = 0; i < width * height; ++i) {
            layer.tiles.push_back(static_cast<std::uint32_t>(random() % count));
        }
        map.layers.push_back(std::move(layer));
    }
    return map;
}

// Every byte of picture within 1 of expected.
void ExpectWithinOne(const RgbaImage& picture, const RgbaImage& expected, const std::string& what) {
    ASSERT_EQ(picture.pixels.size(), expected.pixels.size()) << what;
    for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
        ASSERT_LE(std::abs(picture.pixels[i] - expected.pixels[i]), 1) << what << ", byte " << i;
    }
}

// At 1/2, 1/3, 1/5 and 1/16, over tiles of 6, 12, 16 and 32 pixels that show
// through one another, the picture is within 1 of the box filter of the plain
// full-size one, and no note is given: not only at powers of two.
TEST(Picture, AtEveryWholeRatioThePictureIsTheBoxFilterOfTheFullSizeOne) {
    std::mt19937 random(7);
    for (const std::int32_t side : {6, 12, 16, 32}) {
        for (const std::int32_t k : {2, 3, 5, 16}) {
            const TileMap map = RandomMap(random, RandomTiles(random, 5, side, side), 3, k, k + (k == 16 ? 0 : k));
            MapPicture source(map);
            const PictureSize full = MeasurePicture(source);
            std::optional<std::string> note;
            const Expected<RgbaImage> small =
                DrawPicture(source, {true, true, true}, PictureSize{full.width / k, full.height / k}, &note);
            ASSERT_TRUE(small);
            const std::string what = std::to_string(side) + "-pixel tiles at 1/" + std::to_string(k);
            EXPECT_EQ(note, std::nullopt) << what;
            ExpectWithinOne(*small, BoxFilter(PlainPicture(map, full), k), what);
        }
    }
}

// 3 pixels drawn as 2, clear, opaque and clear: each picture pixel covers a
// clear one and half the opaque one, and weighs the half: alpha 85 each, not
// a clear pixel and an opaque one.
TEST(Picture, AtOtherRatiosPartlyCoveredPixelsWeighTheirShare) {
    TileMap map;
    map.tileset.tileWidth = 3;
    map.tileset.tileHeight = 1;
    map.tileset.tiles.resize(1);
    map.tileset.tiles[0].image = RgbaImage(3, 1);
    map.tileset.tiles[0].image.pixels = {0, 0, 0, 0, 200, 0, 0, 255, 0, 0, 0, 0};
    MapLayer layer;
    layer.width = 1;
    layer.height = 1;
    layer.tiles = {0};
    map.layers.push_back(layer);
    MapPicture source(map);
    const Expected<RgbaImage> picture = DrawPicture(source, {true}, PictureSize{2, 1});
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (Bytes{200, 0, 0, 85, 200, 0, 0, 85}));
}

// More distinct stacks than are kept (two layers of 256 x 256 cells over 256
// half-covered tiles): the rest is drawn layer by layer from the reduced
// tiles, with a note, and the rows before it are exact. At full size the
// same is exact, without a note.
TEST(Picture, StacksBeyondTheBudgetDrawTheRestLayerByLayerWithANote) {
    std::mt19937 random(99);
    const TileMap map = RandomMap(random, RandomTiles(random, 256, 2, 2), 2, 256, 256);
    MapPicture source(map);
    const PictureSize full = MeasurePicture(source);
    std::optional<std::string> note;
    const Expected<RgbaImage> cells = DrawPicture(source, {true, true}, PictureSize{256, 256}, &note);
    ASSERT_TRUE(cells);
    ASSERT_TRUE(note);
    const std::string start = "the tiles that show through one another make more stacks than are composited at full "
                              "size; the picture is drawn from the tiles reduced to 1 x 1 pixels from row ";
    ASSERT_EQ(note->substr(0, start.size()), start);
    const std::size_t from = std::stoul(note->substr(start.size()));
    EXPECT_GT(from, 0U);
    EXPECT_LT(from, 256U);
    const RgbaImage expected = BoxFilter(PlainPicture(map, full), 2);
    for (std::size_t i = 0; i < from * 256 * 4; ++i) {
        ASSERT_LE(std::abs(cells->pixels[i] - expected.pixels[i]), 1) << "byte " << i;
    }
    const Expected<RgbaImage> whole = DrawPicture(source, {true, true}, full, &note);
    ASSERT_TRUE(whole);
    EXPECT_EQ(note, std::nullopt);
    EXPECT_EQ(whole->pixels, PlainPicture(map, full).pixels);
}

// Maps shaped to pile up work or memory, scaled down: 2 layers of 512 x 1
// cells over 40 half-covered 1 x 2048 tiles (more composites in a row than
// are kept), and 255 layers of 256 x 1 cells of 1 x 1 tiles (more stacks
// than are kept, each walking 255 layers). Drawn at full size, both are
// exact with no note; each takes well under a second.
TEST(Picture, RowsOfManyStacksOrManyLayersStayExactAtFullSizeInBoundedTime) {
    std::mt19937 random(5);
    const std::pair<TileMap, std::string> shapes[] = {
        {RandomMap(random, RandomTiles(random, 40, 1, 2048, 128), 2, 512, 1), "tall tiles"},
        {RandomMap(random, RandomTiles(random, 16, 1, 1), 255, 256, 1), "255 layers"},
    };
    for (const auto& [map, what] : shapes) {
        const auto begin = std::chrono::steady_clock::now();
        MapPicture source(map);
        const PictureSize full = MeasurePicture(source);
        std::optional<std::string> note;
        const Expected<RgbaImage> picture =
            DrawPicture(source, std::vector<bool>(map.layers.size(), true), full, &note);
        ASSERT_TRUE(picture) << what;
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1)) << what;
        EXPECT_EQ(note, std::nullopt) << what;
        EXPECT_EQ(picture->pixels, PlainPicture(map, full).pixels) << what;
    }
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// The mark after the tiles is magenta, crossed corner to corner in black,
// and its mean is between the two.
TEST(Picture, CellsBeyondTheTilesetAreMarkedWhereTheSourceAsks) {
    TileMap map;
    map.tileset.tileWidth = 16;
    map.tileset.tileHeight = 16;
    map.tileset.tiles.resize(1);
    map.tileset.tiles[0].image = RgbaImage(16, 16);
    const MapPicture source(map);
    const TileLevels& levels = source.Tiles();
    ASSERT_EQ(levels.LevelCount(), 5U);
    const std::uint8_t* mark = levels.Pixels(0, 1);
    EXPECT_EQ(Pixel({mark[0], mark[1], mark[2], mark[3]}), Pixel({0, 0, 0, 255}));
    EXPECT_EQ(Pixel({mark[4], mark[5], mark[6], mark[7]}), Pixel({255, 0, 255, 255}));
    const std::uint8_t* mean = levels.Pixels(4, 1);
    EXPECT_EQ(Pixel({mean[0], mean[1], mean[2], mean[3]}), Pixel({223, 0, 223, 255}));
    EXPECT_EQ(levels.Covers()[0], TileLevels::Cover::Clear);
    EXPECT_EQ(levels.Covers()[1], TileLevels::Cover::Opaque);
}


// The mark is counted run by run, not drawn pixel by pixel: at every size
// it is the plain cross, and a 65535 x 65535 one (4.3 G pixels) is made and
// drawn small at once.
TEST(Picture, TheMarkIsTheCrossAtAnySizeAndCostsItsSidesNotItsPixels) {
    for (const auto& [width, height] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
             {16, 16}, {7, 5}, {3, 20}, {20, 3}, {1, 1}, {2, 9}, {64, 1}}) {
        TileMap map;
        map.tileset.tileWidth = static_cast<std::int32_t>(width);
        map.tileset.tileHeight = static_cast<std::int32_t>(height);
        const MapPicture source(map);
        const std::uint8_t* mark = source.Tiles().Pixels(0, 0);
        for (std::uint64_t y = 0; y < height; ++y) {
            for (std::uint64_t x = 0; x < width; ++x) {
                const std::uint64_t mirrored = width - 1 - x;
                const bool cross = x * height / width == y || y * width / height == x ||
                                   mirrored * height / width == y || y * width / height == mirrored;
                const std::uint8_t* pixel = mark + (y * width + x) * 4;
                ASSERT_EQ(Pixel({pixel[0], pixel[1], pixel[2], pixel[3]}),
                          Pixel({static_cast<std::uint8_t>(cross ? 0 : 255), 0,
                                 static_cast<std::uint8_t>(cross ? 0 : 255), 255}))
                    << width << " x " << height << " at " << x << ", " << y;
            }
        }
    }
    TileMap huge;
    huge.tileset.tileWidth = 65535;
    huge.tileset.tileHeight = 65535;
    MapLayer layer;
    layer.width = 1;
    layer.height = 1;
    layer.tiles = {0};
    huge.layers.push_back(layer);
    const auto start = std::chrono::steady_clock::now();
    MapPicture source(huge);
    const Expected<RgbaImage> picture = DrawPicture(source, {true}, PictureSize{64, 64});
    ASSERT_TRUE(picture);
    const std::uint8_t* mean = source.Tiles().Pixels(source.Tiles().LevelCount() - 1, 0);
    EXPECT_EQ(Pixel({mean[0], mean[1], mean[2], mean[3]}), Pixel({255, 0, 255, 255}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}
}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

// Tiles too large to keep at full size together: the finest level is left
// out, and a full-size picture is drawn from the next, each reduced pixel
// repeated, and says so.
TEST(Picture, TilesOverTheBudgetDrawFromTheFinestKeptLevel) {
    TileMap map;
    map.tileset.tileWidth = 32;
    map.tileset.tileHeight = 32;
    const std::size_t count = TileLevels::kBudget / (32 * 32 * 4) + 1;
    map.tileset.tiles.resize(count);
    for (std::size_t t = 0; t < count; ++t) {
        map.tileset.tiles[t].image = RgbaImage(32, 32);
        for (std::size_t i = 0; i < map.tileset.tiles[t].image.pixels.size(); i += 4) {
            // Left half red, right half blue, opaque.
            const bool left = (i / 4) % 32 < 16;
            map.tileset.tiles[t].image.pixels[i] = left ? 255 : 0;
            map.tileset.tiles[t].image.pixels[i + 2] = left ? 0 : 255;
            map.tileset.tiles[t].image.pixels[i + 3] = 255;
        }
    }
    MapLayer layer;
    layer.width = 1;
    layer.height = 1;
    layer.tiles = {static_cast<std::uint32_t>(count - 1)};
    map.layers.push_back(layer);
    MapPicture source(map);
    EXPECT_EQ(source.Tiles().FinestKept(), 1U);
    PictureRows rows(source, {true}, PictureSize{32, 32});
    ASSERT_TRUE(rows.Start());
    ASSERT_TRUE(rows.Coarser());
    EXPECT_EQ(rows.Coarser()->width, 16U);
    const Expected<const std::uint8_t*> row = rows.Row(0);
    ASSERT_TRUE(row);
    EXPECT_EQ(Pixel({(*row)[0], (*row)[1], (*row)[2], (*row)[3]}), Pixel({255, 0, 0, 255}));
    EXPECT_EQ(Pixel({(*row)[124], (*row)[125], (*row)[126], (*row)[127]}), Pixel({0, 0, 255, 255}));
}

// The same tileset, its first two tiles complementary checkerboards of red and
// blue that stack to an opaque one: composited from reduced tiles at 1/2, the
// picture can't be the box filter, and the note says so.
TEST(Picture, StacksCompositedFromReducedTilesGiveANote) {
    TileMap map;
    map.tileset.tileWidth = 32;
    map.tileset.tileHeight = 32;
    const std::size_t count = TileLevels::kBudget / (32 * 32 * 4) + 1;
    map.tileset.tiles.resize(count, Tile{RgbaImage(32, 32), false, 0, 0, {}});
    for (std::size_t t = 0; t < 2; ++t) {
        for (std::size_t i = 0; i < 32 * 32; ++i) {
            const bool shown = (i % 32 + i / 32 + t) % 2 == 0;
            map.tileset.tiles[t].image.pixels[4 * i + 2 * t] = 255;
            map.tileset.tiles[t].image.pixels[4 * i + 3] = shown ? 255 : 0;
        }
    }
    for (std::uint32_t t = 0; t < 2; ++t) {
        map.layers.push_back(MapLayer{});
        map.layers.back().width = 1;
        map.layers.back().height = 1;
        map.layers.back().tiles = {t};
    }
    MapPicture source(map);
    std::optional<std::string> note;
    ASSERT_TRUE(DrawPicture(source, {true, true}, PictureSize{16, 16}, &note));
    EXPECT_EQ(note, "the tiles at full size take more than 6 MiB together; where they show through one another, the "
                    "picture is drawn from the tiles reduced to 16 x 16 pixels before they are composited");
}

}  // namespace
}  // namespace gridport
