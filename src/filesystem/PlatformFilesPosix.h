#pragma once

#include "filesystem/PlatformFiles.h"

// What PlatformFilesPosix.cpp asks of the system's own file: PlatformFilesUnix.cpp or PlatformFilesWasi.cpp.
namespace gridport::platform {

// Gives the new file at descriptor the owner, group and mode of the regular file it replaces; false on failure.
bool TakeOwnerAndBits(int descriptor, const OutputTarget& target, bool& ownerKept);

}  // namespace gridport::platform
