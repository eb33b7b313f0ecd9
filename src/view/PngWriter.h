#pragma once

#include <string>

#include "filesystem/FileSystem.h"
#include "tileset/RgbaImage.h"

namespace gridport {

// Writes the image as an 8-bit RGBA PNG file through the file system's
// replacing output, so a failure leaves an existing file as it was. False,
// with the reason in error, when the image is empty, the file can't be
// opened, or encoding, a write, the close or the replacement fails.
bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem, Error& error);
bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem);

}  // namespace gridport
