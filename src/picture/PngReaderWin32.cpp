// The PNG reader in the Windows build, which has no libpng: reading a PNG fails with that reason.

#include "picture/PngReader.h"

namespace gridport {

Expected<void> ReadPng(const std::string& path, FileSystem& /*fileSystem*/, const PngSizeCheck& /*sizeCheck*/,
                       const PngRowSink& /*rows*/) {
    return Error(path, "PNG files can't be read in the Windows build");
}

}  // namespace gridport
