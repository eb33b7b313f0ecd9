// The viewers' PNG writer and reader in the WebAssembly build, which has no libpng:
// the web page draws pictures on a canvas instead, so --png fails with a reason.

#include "picture/PngReader.h"
#include "picture/PngWriter.h"

namespace gridport {

Expected<void> WritePng(std::uint32_t /*width*/, std::uint32_t /*height*/, const PngRowSource& /*rows*/,
                        const std::string& path, FileSystem& /*fileSystem*/) {
    return Error(path, "PNG files can't be written in the WebAssembly build");
}

}  // namespace gridport

namespace gridport {

Expected<void> ReadPng(const std::string& path, FileSystem& /*fileSystem*/, const PngSizeCheck& /*sizeCheck*/,
                       const PngRowSink& /*rows*/) {
    return Error(path, "PNG files can't be read in the WebAssembly build");
}

}  // namespace gridport
