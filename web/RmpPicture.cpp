// rmppicture [--within WxH] FILE.rmp OUT.rgba [SHOWN]: the web page's viewer.
// Reads an RMP map file as a stream with rmpview's reader and draws it with
// rmpview's picture code, writing the picture's pixels as raw RGBA (4 bytes a pixel, row by
// row) to OUT.rgba, which the page puts on a canvas. The picture is full size,
// or, with --within, scaled down to fit W x H when it is larger (as rmpview
// --size draws it). SHOWN, one '1' (shown) or '0' (hidden) per layer, replaces
// the layers' show flags. Standard output gets one JSON object: the picture's
// size and its full size, the layers and rmpview's summary, and "pictureNote"
// when rmpview would print a note about the picture; when the map can't
// be drawn, "pictureError" says why instead of the sizes. A file that can't be
// read gives one line on standard error and status 1; wrong usage 2.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "filesystem/DefaultFileSystem.h"
#include "picture/StreamedRmp.h"

namespace {

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

// "WxH", each side from 1 to the picture limit.
std::optional<gridport::PictureSize> ParseWithin(const std::string& text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == text.size() ||
        text.find_first_not_of("0123456789x") != std::string::npos || text.find('x', x + 1) != std::string::npos) {
        return std::nullopt;
    }
    const std::uint64_t width = std::strtoull(text.substr(0, x).c_str(), nullptr, 10);
    const std::uint64_t height = std::strtoull(text.substr(x + 1).c_str(), nullptr, 10);
    if (width == 0 || height == 0 || width > gridport::kMaxPictureSide || height > gridport::kMaxPictureSide) {
        return std::nullopt;
    }
    return gridport::PictureSize{width, height};
}

// Writes the picture's rows to path as they are drawn, each in a call of its
// own: V8 (Chromium's and Node's) first runs a WebAssembly function on
// quickly made code and takes the optimised code only at the function's next
// call, so DrawPicture's single loop over the rows ran the whole picture on
// the first (220 s against 15 s under Node for the 65536 x 65536 pixels of a
// 4096 x 4096 map, drawn at 2048 x 2048).
gridport::Expected<void> WriteRows(gridport::PictureRows& rows, gridport::PictureSize size, const std::string& path) {
    gridport::Expected<std::unique_ptr<gridport::OutputFile>> file = gridport::defaultFileSystem.OpenOutput(path);
    if (!file) {
        return file.error();
    }
    const auto stride = static_cast<std::size_t>(size.width * 4);
    for (std::size_t y = 0; y < size.height; ++y) {
        const gridport::Expected<const std::uint8_t*> row = rows.Row(y);
        if (!row) {
            return row.error();
        }
        // A failed write is remembered: Commit gives the reason.
        if (!(*file)->Write(*row, stride)) {
            break;
        }
    }
    return (*file)->Commit();
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<gridport::PictureSize> within;
    if (argc > 1 && std::string(argv[1]) == "--within") {
        within = argc > 2 ? ParseWithin(argv[2]) : std::nullopt;
        if (!within) {
            std::fputs("rmppicture: --within needs WIDTHxHEIGHT, each from 1 to 16384\n", stderr);
            return 2;
        }
        argc -= 2;
        argv += 2;
    }
    if (argc != 3 && argc != 4) {
        std::fputs("Usage: rmppicture [--within WxH] FILE.rmp OUT.rgba [SHOWN]\n", stderr);
        return 2;
    }
    const std::string input = argv[1];
    gridport::Expected<std::unique_ptr<gridport::File>> file =
        gridport::defaultFileSystem.Open(input, gridport::OpenMode::Read);
    if (!file) {
        std::fprintf(stderr, "rmppicture: %s\n", file.error().Text().c_str());
        return 1;
    }
    gridport::Expected<std::unique_ptr<gridport::StreamedRmp>> rmp = gridport::StreamedRmp::Open(**file, input, true);
    const gridport::Expected<std::string> summary = rmp ? (*rmp)->Summary() : rmp.error();
    if (!summary) {
        std::fprintf(stderr, "rmppicture: %s\n", summary.error().Text().c_str());
        return 1;
    }
    gridport::StreamedRmp& source = **rmp;
    const std::vector<gridport::PictureSource::Layer>& layers = source.Layers();
    const std::string shown = argc == 4 ? argv[3] : "";
    if (argc == 4 && (shown.size() != layers.size() || shown.find_first_not_of("01") != std::string::npos)) {
        std::fprintf(stderr, "rmppicture: SHOWN needs one 0 or 1 for each of the %zu layers\n", layers.size());
        return 2;
    }
    gridport::Expected<std::vector<bool>> drawn = gridport::ChooseLayers(source, {});
    std::string json = "{\"layers\":[";
    for (std::size_t i = 0; i < layers.size(); ++i) {
        json += std::string(i == 0 ? "" : ",") + "{\"name\":" + Json(layers[i].name) +
                ",\"width\":" + std::to_string(layers[i].width) + ",\"height\":" + std::to_string(layers[i].height) +
                ",\"shown\":" + (layers[i].shown ? "true" : "false") + "}";
        if (drawn && !shown.empty()) {
            (*drawn)[i] = shown[i] == '1';
        }
    }
    json += "],\"summary\":" + Json(*summary);
    const gridport::PictureSize full = gridport::MeasurePicture(source);
    gridport::PictureScale scale;
    if (within && (full.width > within->width || full.height > within->height)) {
        scale.fit = within;
    }
    const gridport::Expected<gridport::PictureSize> size =
        drawn ? gridport::ScalePicture(full, scale) : gridport::Expected<gridport::PictureSize>(drawn.error());
    std::optional<gridport::PictureRows> rows;
    gridport::Expected<void> started = size ? gridport::Success() : gridport::Expected<void>(size.error());
    if (started) {
        started = rows.emplace(source, *drawn, *size).Start();
    }
    if (started) {
        if (const gridport::Expected<void> written = WriteRows(*rows, *size, argv[2]); !written) {
            std::fprintf(stderr, "rmppicture: %s\n", written.error().Text().c_str());
            return 1;
        }
        json += ",\"width\":" + std::to_string(size->width) + ",\"height\":" + std::to_string(size->height) +
                ",\"fullWidth\":" + std::to_string(full.width) + ",\"fullHeight\":" + std::to_string(full.height);
        // When the picture isn't the box filter of the full-size one, the note rmpview prints says why.
        if (const std::optional<std::string> note = rows->Note()) {
            json += ",\"pictureNote\":" + Json(*note);
        }
    } else {
        json += ",\"pictureError\":" + Json(started.error().Text());
    }
    std::puts((json + "}").c_str());
    return 0;
}
