// The viewers' PNG writer in the Windows builds, which have no libpng for MinGW: the summaries and verdicts work there,
// and a picture fails with a reason.

#include "view/PngWriter.h"

namespace gridport {

Expected<void> WritePng(std::uint32_t /*width*/, std::uint32_t /*height*/, const PngRowSource& /*rows*/,
                        const std::string& path, FileSystem& /*fileSystem*/) {
    return Error(path, "PNG files can't be written by the Windows build, which has no PNG library; draw the "
                       "picture with the Linux build");
}

}  // namespace gridport
