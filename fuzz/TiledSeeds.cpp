// Writes the Tiled import's seed corpus: the sample map as the export writes
// it (from its RMP file), and as Tiled JSON with its layers' data as a list,
// as base64 and zlib (the compressed forms made by taking a list map apart in
// the target is left to the fuzzer), and with its tileset embedded; the
// tileset's picture; and inputs that once broke the target.
//
//   gridport_tiled_fuzz_seeds TiledImportFuzz OUTDIR

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/Files.h"
#include "support/SampleRmp.h"
#include "support/TiledMap.h"
#include "tiled/TiledExport.h"

namespace {

using gridport::test::Bytes;
using Json = nlohmann::json;

Bytes Text(const Json& json) {
    const std::string text = json.dump(1);
    return Bytes(text.begin(), text.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != "TiledImportFuzz") {
        std::fprintf(stderr, "usage: gridport_tiled_fuzz_seeds TiledImportFuzz OUTDIR\n");
        return 2;
    }
    const std::filesystem::path folder = argv[2];
    std::filesystem::create_directories(folder);
    const gridport::TileMap sample = gridport::test::SampleTiledMap();
    // The export's own map, referring to tiles.tsj as the target's map does.
    gridport::test::MemoryFileSystem exported;
    exported.Put("tiles.rmp", gridport::test::SaveToMemory(sample));
    gridport::Expected<std::unique_ptr<gridport::File>> rmp = exported.Open("tiles.rmp", gridport::OpenMode::Read);
    const gridport::Expected<void> written =
        rmp ? gridport::tiled::ExportRmp(**rmp, "tiles.rmp", "tiles.tmj", exported) : rmp.error();
    if (!written) {
        std::fprintf(stderr, "the sample doesn't export: %s\n", written.error().Text().c_str());
        return 1;
    }
    rmp->reset();
    gridport::test::WriteDiskFile((folder / "export").string(), exported.Get("tiles.tmj"));
    Json map = gridport::test::TiledMapJson(sample);
    gridport::test::WriteDiskFile((folder / "sample").string(), Text(map));
    // Base64 of the gids' little-endian bytes: a layer of 1s, then a zero (empty) cell.
    Json base64 = map;
    for (Json& layer : base64["layers"]) {
        if (layer["type"] == "tilelayer") {
            layer["encoding"] = "base64";
            layer["data"] = "AQAAAAEAAAABAAAAAQAAAAEAAAABAAAAAQAAAAEAAAABAAAAAQAAAAEAAAAAAAAA";
        }
    }
    gridport::test::WriteDiskFile((folder / "base64").string(), Text(base64));
    Json zlib = base64;
    for (Json& layer : zlib["layers"]) {
        if (layer["type"] == "tilelayer") {
            layer["compression"] = "zlib";
            layer["data"] = "eJxjZGBgYCQBAwABaAAN";  // twelve gids 1
        }
    }
    gridport::test::WriteDiskFile((folder / "zlib").string(), Text(zlib));
    Json embedded = map;
    embedded["tilesets"][0] = gridport::test::TiledTilesetJson(sample.tileset, 3);
    embedded["tilesets"][0]["firstgid"] = 1;
    gridport::test::WriteDiskFile((folder / "embedded-tileset").string(), Text(embedded));
    // The tileset's picture, for the target's reading of the bytes as a PNG.
    gridport::test::WriteDiskFile((folder / "picture").string(), gridport::test::TilesetPng(sample.tileset, 3));
    // The picture's size refused by the tileset: the reason was lost past libpng's longjmp, and leaked.
    embedded["tilesets"][0]["imagewidth"] = 7;
    gridport::test::WriteDiskFile((folder / "regression-refused-picture-size-leaked").string(), Text(embedded));
    return 0;
}
