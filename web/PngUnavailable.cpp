// The viewers' PNG writer and reader in the builds without libpng (the WebAssembly build, and the cross builds that
// leave the viewers out). Reading a PNG fails with a reason, and so does a picture (--png): the web page draws pictures
// on a canvas instead. The Tiled export's tileset image is written raw, for the page to encode as PNG and put in its
// zip under the same name: the 8 bytes "GPRGBA1\n", the width and the height (32-bit little-endian each), then the
// rows, 4 bytes (red, green, blue, alpha) a pixel, top to bottom. Its size is the picture's, which for the export is
// the tileset's bytes.

#include <array>
#include <cstddef>
#include <cstring>

#include "picture/PngReader.h"
#include "picture/PngWriter.h"

namespace gridport {

namespace {

constexpr char kRawMagic[] = "GPRGBA1\n";
constexpr std::size_t kRawMagicSize = sizeof kRawMagic - 1;

void PutLittle32(std::uint8_t* to, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        to[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

Expected<void> WritePng(std::uint32_t width, std::uint32_t height, const PngRowSource& rows, const std::string& path,
                        FileSystem& fileSystem, PngUse use) {
    if (use != PngUse::TiledTileset) {
        return Error(path, "PNG files can't be written in a build without libpng");
    }
    Expected<std::unique_ptr<OutputFile>> file = fileSystem.OpenOutput(path);
    if (!file) {
        return file.error();
    }
    std::array<std::uint8_t, kRawMagicSize + 8> head{};
    std::memcpy(head.data(), kRawMagic, kRawMagicSize);
    PutLittle32(head.data() + kRawMagicSize, width);
    PutLittle32(head.data() + kRawMagicSize + 4, height);
    if (Expected<void> written = (*file)->Write(head.data(), head.size()); !written) {
        return written;
    }
    const std::size_t rowBytes = std::size_t{width} * 4;
    for (std::uint32_t y = 0; y < height; ++y) {
        const Expected<const std::uint8_t*> row = rows(y);
        if (!row) {
            return row.error();
        }
        if (Expected<void> written = (*file)->Write(*row, rowBytes); !written) {
            return written;
        }
    }
    return (*file)->Commit();
}

}  // namespace gridport

namespace gridport {

Expected<void> ReadPng(const std::string& path, FileSystem& /*fileSystem*/, const PngSizeCheck& /*sizeCheck*/,
                       const PngRowSink& /*rows*/) {
    return Error(path, "PNG files can't be read in a build without libpng");
}

}  // namespace gridport
