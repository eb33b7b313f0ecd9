#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// A decoded picture: width x height pixels of 4 bytes (red, green, blue, alpha), row by row from the top.
struct RgbaPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
};

// Says whether a picture of the size its header gives may be decoded, before anything is allocated for it; its error
// is the reader's.
using PngSizeCheck = std::function<Expected<void>(std::uint32_t width, std::uint32_t height)>;

// Reads a PNG file of any kind libpng converts (palette, grey, 16-bit, interlaced) as 8-bit RGBA; a picture without
// alpha comes out opaque. The error names the file and why: not a PNG, damaged or short data, the size refused. Where
// there is no libpng (Windows, WebAssembly) it fails with that reason.
Expected<RgbaPicture> ReadPng(const std::string& path, FileSystem& fileSystem, const PngSizeCheck& sizeCheck);

}  // namespace gridport
