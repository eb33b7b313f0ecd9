// rmppicture FILE.rmp OUT.rgba [SHOWN]: the web page's viewer. Reads an RMP
// map file as rmpview does and draws it with rmpview's picture code, writing
// the picture's pixels as raw RGBA (4 bytes a pixel, row by row) to OUT.rgba,
// which the page puts on a canvas. SHOWN, one '1' (shown) or '0' (hidden) per
// layer, replaces the layers' show flags. Standard output gets one JSON
// object: the picture's size, the layers and rmpview's summary; when the map
// can't be drawn, "pictureError" says why instead of the size. A file that
// can't be read gives one line on standard error and status 1; wrong usage 2.

#include <cstdio>
#include <string>

#include "filesystem/DefaultFileSystem.h"
#include "view/Picture.h"
#include "view/RmpReader.h"
#include "view/Summary.h"

namespace {

using gridport::RgbaImage;

// A JSON string of the bytes; those above 0x7F are taken as Latin-1, as the
// formats' 8-bit names may hold anything.
std::string Json(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

bool WritePixels(const RgbaImage& picture, const std::string& path) {
    const std::unique_ptr<gridport::File> file =
        gridport::defaultFileSystem.Open(path, gridport::OpenMode::Write);
    if (file == nullptr) {
        return false;
    }
    constexpr std::size_t kChunk = std::size_t{1} << 24;
    for (std::size_t done = 0; done < picture.pixels.size(); done += kChunk) {
        const auto count = static_cast<std::uint32_t>(std::min(kChunk, picture.pixels.size() - done));
        if (file->Write(picture.pixels.data() + done, count) != count) {
            return false;
        }
    }
    return file->Close();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fputs("Usage: rmppicture FILE.rmp OUT.rgba [SHOWN]\n", stderr);
        return 2;
    }
    const std::string input = argv[1];
    std::string error;
    const std::unique_ptr<gridport::RmpDocument> document =
        gridport::ReadRmp(input, gridport::defaultFileSystem, error);
    if (document == nullptr) {
        std::fprintf(stderr, "rmppicture: %s\n", error.c_str());
        return 1;
    }
    std::vector<gridport::MapLayer>& layers = document->map.layers;
    const std::string shown = argc == 4 ? argv[3] : "";
    if (argc == 4 && (shown.size() != layers.size() || shown.find_first_not_of("01") != std::string::npos)) {
        std::fprintf(stderr, "rmppicture: SHOWN needs one 0 or 1 for each of the %zu layers\n", layers.size());
        return 2;
    }
    std::string json = "{\"layers\":[";
    for (std::size_t i = 0; i < layers.size(); ++i) {
        json += std::string(i == 0 ? "" : ",") + "{\"name\":" + Json(layers[i].name) +
                ",\"width\":" + std::to_string(layers[i].width) + ",\"height\":" + std::to_string(layers[i].height) +
                ",\"shown\":" + (layers[i].showFlag ? "true" : "false") + "}";
        if (!shown.empty()) {
            layers[i].showFlag = shown[i] == '1';
        }
    }
    json += "],\"summary\":" + Json(gridport::Summarize(input, *document));
    RgbaImage picture;
    if (gridport::DrawPicture(document->map, std::nullopt, picture, error)) {
        if (!WritePixels(picture, argv[2])) {
            std::fprintf(stderr, "rmppicture: cannot write %s\n", argv[2]);
            return 1;
        }
        json += ",\"width\":" + std::to_string(picture.width) + ",\"height\":" + std::to_string(picture.height);
    } else {
        json += ",\"pictureError\":" + Json(error);
    }
    std::puts((json + "}").c_str());
    return 0;
}
