// Writes the bundled examples: a version-1 village with a VSP tileset, a
// version-1 castle with an RTS tileset of 24 x 24 tiles, and a version-2
// harbour with a compressed VSP tileset, whose layer-order text reorders and
// repeats layers.
//
//   make_examples OUTDIR

#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>

#include "support/Builders.h"
#include "support/Files.h"

namespace {

using gridport::test::Bytes;
using gridport::test::MapV1File;
using gridport::test::MapV2File;
using gridport::test::MapV2Layer;
using gridport::test::RtsFile;
using gridport::test::RtsTile;
using gridport::test::VspColour;
using gridport::test::VspFile;
using gridport::test::WriteDiskFile;

// Palette indices of the art; index 0 is transparent.
enum Colour : std::uint8_t {
    Clear, DarkGreen, Green, LightGreen, DarkBlue, Blue, LightBlue, Brown, Tan, LightTan,
    DarkGrey, Grey, LightGrey, Red, Yellow, White, Trunk, Leaf, DarkRed, Count
};

Bytes Palette() {
    const std::array<std::array<std::uint8_t, 3>, Count> colours = {{
        {0, 0, 0}, {8, 28, 8}, {14, 40, 12}, {24, 50, 18}, {4, 10, 30}, {8, 22, 48}, {24, 40, 60},
        {30, 20, 10}, {44, 36, 22}, {54, 48, 34}, {18, 18, 20}, {32, 32, 34}, {46, 46, 48},
        {52, 10, 8}, {62, 54, 10}, {63, 63, 63}, {22, 12, 4}, {10, 34, 10}, {34, 6, 6},
    }};
    Bytes palette(768, 0);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        std::copy(colours[i].begin(), colours[i].end(), palette.begin() + static_cast<std::ptrdiff_t>(3 * i));
    }
    return palette;
}

// A cheap, repeatable speckle.
bool Speckle(int x, int y, int salt, int oneIn) {
    const unsigned hash = static_cast<unsigned>(x * 73856093) ^ static_cast<unsigned>(y * 19349663) ^
                          static_cast<unsigned>(salt * 83492791);
    return (hash >> 7) % static_cast<unsigned>(oneIn) == 0;
}

// Each tile is a picture of side n, drawn as palette indices.
using Art = std::function<std::uint8_t(int x, int y, int n)>;

const std::array<Art, 10>& Tiles() {
    static const std::array<Art, 10> tiles = {
        // 0 grass
        [](int x, int y, int) -> std::uint8_t {
            return Speckle(x, y, 1, 7) ? DarkGreen : Speckle(x, y, 2, 9) ? LightGreen : Green;
        },
        // 1 water, with wave crests
        [](int x, int y, int n) -> std::uint8_t {
            const int wave = (y + (x / 3) % 2) % (n / 4);
            return wave == 0 && (x + y) % 5 != 0 ? LightBlue : Speckle(x, y, 3, 11) ? DarkBlue : Blue;
        },
        // 2 path
        [](int x, int y, int) -> std::uint8_t {
            return Speckle(x, y, 4, 8) ? Brown : Speckle(x, y, 5, 10) ? LightTan : Tan;
        },
        // 3 stone wall: bricks with offset rows
        [](int x, int y, int n) -> std::uint8_t {
            const int row = y / (n / 4);
            const int brick = n / 2;
            return y % (n / 4) == 0 || (x + row * brick / 2) % brick == 0 ? LightGrey
                   : Speckle(x, y, 6, 9)                                  ? DarkGrey
                                                                          : Grey;
        },
        // 4 tree: round crown over a trunk, transparent around
        [](int x, int y, int n) -> std::uint8_t {
            const int cx = n / 2;
            const int cy = n * 2 / 5;
            const int r = n * 2 / 5;
            const int dx = x - cx;
            const int dy = y - cy;
            if (dx * dx + dy * dy <= r * r) {
                return dx + dy < -r / 2 ? LightGreen : Speckle(x, y, 7, 4) ? DarkGreen : Leaf;
            }
            return std::abs(dx) <= n / 12 && y > cy ? Trunk : Clear;
        },
        // 5 flowers scattered on nothing
        [](int x, int y, int n) -> std::uint8_t {
            const int spots[3][2] = {{n / 4, n / 4}, {n * 3 / 4, n / 2}, {n / 3, n * 3 / 4}};
            for (std::size_t i = 0; i < 3; ++i) {
                const int dx = x - spots[i][0];
                const int dy = y - spots[i][1];
                if (dx == 0 && dy == 0) {
                    return Yellow;
                }
                if (std::abs(dx) + std::abs(dy) == 1) {
                    return i == 1 ? White : Red;
                }
            }
            return Clear;
        },
        // 6 roof tiles
        [](int x, int y, int n) -> std::uint8_t {
            return y % (n / 4) == n / 4 - 1 ? DarkRed : (x + (y / (n / 4)) * 2) % 4 == 0 ? DarkRed : Red;
        },
        // 7 sand
        [](int x, int y, int) -> std::uint8_t { return Speckle(x, y, 8, 6) ? Tan : LightTan; },
        // 8 wooden planks (docks)
        [](int x, int y, int n) -> std::uint8_t {
            return x % (n / 4) == 0 ? Trunk : Speckle(x, y, 9, 13) ? Trunk : Brown;
        },
        // 9 nothing at all, for the parts of an upper layer that show what is below
        [](int, int, int) -> std::uint8_t { return Clear; },
    };
    return tiles;
}

enum Tile : std::uint16_t { Grass, Water, Path, Wall, Tree, Flowers, Roof, Sand, Planks, Empty };

VspFile MakeVsp(std::uint16_t version) {
    VspFile vsp;
    vsp.version = version;
    vsp.palette = Palette();
    vsp.count = static_cast<std::uint16_t>(Tiles().size());
    for (const Art& art : Tiles()) {
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                vsp.indices.push_back(art(x, y, 16));
            }
        }
    }
    return vsp;
}

RtsFile MakeRts(int side) {
    RtsFile rts;
    rts.tileWidth = static_cast<std::uint16_t>(side);
    rts.tileHeight = static_cast<std::uint16_t>(side);
    const Bytes palette = Palette();
    for (const Art& art : Tiles()) {
        RtsTile tile;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const auto colour = VspColour(palette, art(x, y, side));
                tile.pixels.insert(tile.pixels.end(), colour.begin(), colour.end());
            }
        }
        rts.tiles.push_back(std::move(tile));
    }
    // The walls carry an outline as segments, as a game's collision data would.
    rts.tiles[Wall].segments = {{0, 0, static_cast<std::uint16_t>(side), 0},
                                {0, static_cast<std::uint16_t>(side), static_cast<std::uint16_t>(side),
                                 static_cast<std::uint16_t>(side)}};
    return rts;
}

// A village: grass, a pond, a path crossing, a house; trees and flowers on top.
MapV1File Village(const char* tileset, std::uint16_t width, std::uint16_t height) {
    MapV1File map;
    map.text = tileset;
    map.selector = 1;
    map.headerX = width / 2;
    map.headerY = height / 2;
    map.width = width;
    map.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint16_t ground = Grass;
            std::uint16_t top = 0;
            const int dx = x - width * 3 / 4;
            const int dy = y - height / 4;
            if (dx * dx + 2 * dy * dy <= 10) {
                ground = Water;
            } else if (dx * dx + 2 * dy * dy <= 16) {
                ground = Sand;
            } else if (x == width / 3 || y == height * 2 / 3) {
                ground = Path;
            } else if (x >= 2 && x <= 6 && y >= 2 && y <= 5) {
                ground = y == 2 || y == 3 ? Roof : Wall;
            } else if (Speckle(x, y, 10, 6)) {
                top = Tree;
            } else if (Speckle(x, y, 11, 7)) {
                top = Flowers;
            }
            map.background.push_back(ground);
            map.foreground.push_back(top);
        }
    }
    return map;
}

// A harbour: sea and shore (layer A), docks over the water (layer B, empty
// elsewhere: long runs), a small grove of its own size (layer C).
MapV2File Harbour() {
    MapV2File map;
    map.text = "harbour.vsp";
    // The grove before the docks, and again on top; "E" makes the grove's
    // file layer number, 2, the header layer.
    map.order = "13E23";
    map.headerX = 12;
    map.headerY = 9;
    MapV2Layer sea{30, 20, {}, {}};
    MapV2Layer docks{30, 20, {}, {}};
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            const int shore = 10 + (y % 5 == 0 ? 1 : 0);
            sea.cells.push_back(x < shore - 1 ? (x == 4 ? Path : Grass) : x < shore ? Sand : Water);
            const bool pier = (y >= 8 && y <= 10 && x >= shore && x < 20) || (x >= 18 && x < 20 && y >= 4 && y < 16);
            docks.cells.push_back(pier ? Planks : Empty);
        }
    }
    MapV2Layer grove{6, 4, {}, {}};
    for (int i = 0; i < 24; ++i) {
        grove.cells.push_back(i == 4 ? Empty : i % 7 == 0 ? Flowers : Tree);
    }
    map.layers = {sea, docks, grove};
    return map;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples OUTDIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const auto Write = [](const std::string& path, const Bytes& bytes) {
        try {
            WriteDiskFile(path, bytes);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "make_examples: %s\n", error.what());
            std::exit(1);
        }
    };
    Write(dir + "village.map", Village("village.vsp", 24, 16).Build());
    Write(dir + "village.vsp", MakeVsp(2).Build());
    Write(dir + "castle.map", Village("castle.rts", 16, 12).Build());
    Write(dir + "castle.rts", MakeRts(24).Build());
    Write(dir + "harbour.map", Harbour().Build());
    Write(dir + "harbour.vsp", MakeVsp(3).Build());
    return 0;
}
