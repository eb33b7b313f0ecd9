// Fuzz target for the Tiled import: any bytes as the map, beside a valid
// tileset and picture, must either import, into an RMP file the tests'
// reference reader reads whole with the summary's counts, or fail with one
// line naming the file it is about; checking alone must agree with importing.
// The same bytes as a picture must read as PNG rows, each once in order, or
// fail naming the file.

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "picture/PngReader.h"
#include "support/RmpDocument.h"
#include "support/TiledMap.h"
#include "tiled/TiledImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using gridport::test::Require;
    static const gridport::TileMap sample = gridport::test::SampleTiledMap();
    static const std::string tileset = gridport::test::TiledTilesetJson(sample.tileset, 3).dump();
    static const gridport::test::Bytes png = gridport::test::TilesetPng(sample.tileset, 3);
    gridport::test::MemoryFileSystem files;
    files.Put("map.tmj", gridport::test::Bytes(data, data + size));
    files.Put("tiles.tsj", gridport::test::Bytes(tileset.begin(), tileset.end()));
    files.Put("tiles.png", png);
    files.Put("fuzz.png", gridport::test::Bytes(data, data + size));
    std::uint32_t rows = 0;
    std::uint32_t height = 0;
    const gridport::Expected<void> picture = gridport::ReadPng(
        "fuzz.png", files,
        [&](std::uint32_t w, std::uint32_t h) -> gridport::Expected<void> {
            height = h;
            return w <= 256 && h <= 256 ? gridport::Success() : gridport::Error("fuzz.png", "too large");
        },
        [&](std::uint32_t y, const std::uint8_t*) -> gridport::Expected<void> {
            Require(y == rows++, "a picture's rows out of order");
            return gridport::Success();
        });
    Require(picture ? rows == height : picture.error().Path() == "fuzz.png", "a picture read wrong");
    const auto checked = gridport::ImportTiledMap("map.tmj", files, std::nullopt);
    const auto imported = gridport::ImportTiledMap("map.tmj", files, std::string("out.rmp"));
    Require(static_cast<bool>(checked) == static_cast<bool>(imported), "checking and importing disagree");
    if (!imported) {
        const gridport::Error& error = imported.error();
        Require(!error.Path().empty(), "a refusal naming no file: " + error.Text());
        Require(error.Text().find('\n') == std::string::npos, "a refusal of several lines: " + error.Text());
        Require(error.Text() == checked.error().Text(), "checking and importing give different reasons");
        Require(!files.Has("out.rmp"), "a failed import left an output");
        return 0;
    }
    const auto file = std::move(*files.Open("out.rmp", gridport::OpenMode::Read));
    gridport::BufferedReader in(*file, "out.rmp");
    const gridport::Expected<gridport::RmpDocument> document = gridport::ReadRmp(in);
    Require(static_cast<bool>(document), "an imported file doesn't read back");
    Require(document->map.layers.size() == imported->layers && document->map.entities.size() == imported->entities &&
                document->map.zones.size() == imported->zones &&
                document->map.tileset.tiles.size() == imported->tiles,
            "the summary doesn't count what was written");
    return 0;
}
