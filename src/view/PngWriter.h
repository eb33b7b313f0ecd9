#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// Gives row y (4 bytes a pixel, width pixels) or why not; rows come in order from 0, on WritePng's thread.
using PngRowSource = std::function<Expected<const std::uint8_t*>(std::uint32_t y)>;

// Writes an 8-bit RGBA PNG file row by row, at a fast compression level on a thread of its own while the rows are
// drawn, through the file system's replacing output, so a failure leaves an existing file as it was. The error says why
// the file can't be opened, a row can't be had, or encoding, a write, the close or the replacement failed.
Expected<void> WritePng(std::uint32_t width, std::uint32_t height, const PngRowSource& rows, const std::string& path,
                        FileSystem& fileSystem);

}  // namespace gridport
