#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// Says whether a picture of the size its header gives may be decoded, before anything is allocated for it; its error
// is the reader's.
using PngSizeCheck = std::function<Expected<void>(std::uint32_t width, std::uint32_t height)>;
// Takes row y of the picture (width pixels of 4 bytes: red, green, blue, alpha), rows in order from the top; its error
// stops the reading and is the reader's.
using PngRowSink = std::function<Expected<void>(std::uint32_t y, const std::uint8_t* row)>;

// Reads a PNG file of any kind libpng converts (palette, grey, 16-bit, interlaced) as 8-bit RGBA rows; a picture
// without alpha comes out opaque. A picture not interlaced passes one row at a time; an interlaced one is decoded
// whole first, its size checked. The error names the file and why: not a PNG, damaged or short data, the size
// refused. On Windows, Windows' own decoder reads it instead (its size checked from the header before the decoder
// starts, the rows passed a band at a time); in the WebAssembly build, which has neither, it fails with that reason.
Expected<void> ReadPng(const std::string& path, FileSystem& fileSystem, const PngSizeCheck& sizeCheck,
                       const PngRowSink& rows);

}  // namespace gridport
