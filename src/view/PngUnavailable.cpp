// The PNG writer of the Windows builds, which lack libpng for MinGW: summaries and verdicts work, pictures fail.

#include "view/PngWriter.h"

namespace gridport {

Expected<void> WritePng(std::uint32_t /*width*/, std::uint32_t /*height*/, const PngRowSource& /*rows*/,
                        const std::string& path, FileSystem& /*fileSystem*/) {
    return Error(path, "PNG files can't be written by the Windows build, which has no PNG library; draw the "
                       "picture with the Linux build");
}

}  // namespace gridport
