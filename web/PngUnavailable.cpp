// The viewers' PNG writer in the WebAssembly build, which has no libpng: the
// web page draws pictures on a canvas instead, so --png fails with a reason.

#include "view/PngWriter.h"

namespace gridport {

bool WritePng(std::uint32_t /*width*/, std::uint32_t /*height*/, const PngRowSource& /*rows*/,
              const std::string& path, FileSystem& /*fileSystem*/, Error& error) {
    error.Fail(path, "PNG files can't be written in the WebAssembly build");
    return false;
}

bool WritePng(const RgbaImage& /*image*/, const std::string& /*path*/, FileSystem& /*fileSystem*/) {
    return false;
}

}  // namespace gridport
