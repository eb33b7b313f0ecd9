#pragma once

#include "filesystem/PlatformFiles.h"

// What the POSIX file operations (PlatformFilesPosix.cpp) ask of the system's own file: PlatformFilesUnix.cpp, or
// PlatformFilesWasi.cpp.
namespace gridport::platform {

// Gives the new file open at descriptor the owner, group and permission bits of the regular file it replaces
// (CreateNew); false on failure.
bool TakeOwnerAndBits(int descriptor, const OutputTarget& target, bool& ownerKept);

}  // namespace gridport::platform
