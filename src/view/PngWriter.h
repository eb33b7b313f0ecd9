#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "filesystem/Error.h"
#include "filesystem/FileSystem.h"
#include "tileset/RgbaImage.h"

namespace gridport {

// Gives row y (4 bytes a pixel, width pixels) when asked; rows are asked
// for in order from 0.
using PngRowSource = std::function<const std::uint8_t*(std::uint32_t y)>;

// Writes an 8-bit RGBA PNG file row by row, at a fast compression level,
// through the file system's replacing output, so a failure leaves an
// existing file as it was. False, with the reason in error (the system's
// text where there is one), when the file can't be opened, or encoding, a
// write, the close or the replacement fails.
bool WritePng(std::uint32_t width, std::uint32_t height, const PngRowSource& rows, const std::string& path,
              FileSystem& fileSystem, Error& error);
// The same for a whole image; false for an empty one.
bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem, Error& error);
bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem);

}  // namespace gridport
