#pragma once

#include <string>

#include "filesystem/FileSystem.h"
#include "tileset/RgbaImage.h"

namespace gridport {

// Writes the image as an 8-bit RGBA PNG file through the file system. False
// when the image is empty, the file can't be opened, or encoding, a write
// or the close fails.
bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem);

}  // namespace gridport
