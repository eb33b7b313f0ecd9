#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// Gives row y (4 bytes a pixel, width pixels) or why not; rows come in order from 0, on WritePng's thread.
using PngRowSource = std::function<Expected<const std::uint8_t*>(std::uint32_t y)>;

// What an image is for. A build without a PNG encoder (the web page's) refuses a Picture, and writes a TiledTileset
// image as its raw rows instead, for the page to encode (see web/PngUnavailable.cpp); elsewhere both are PNG files.
enum class PngUse { Picture, TiledTileset };

// Writes an 8-bit RGBA PNG row by row through the replacing output: a failure leaves an existing file as it was. The
// error names the open, row, encoding, write, close or replace that failed. libpng compresses fast on a thread of its
// own; on Windows, Windows' own encoder takes bands of rows on the caller's thread.
Expected<void> WritePng(std::uint32_t width, std::uint32_t height, const PngRowSource& rows, const std::string& path,
                        FileSystem& fileSystem, PngUse use);

}  // namespace gridport
