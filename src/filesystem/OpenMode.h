#pragma once

#include <cstdint>

namespace gridport {

// Bits passed to FileSystem::Open. Exactly Read asks for the exact-name check; any value with the Write bit opens for
// writing; a value with only the Read bit of the two opens for reading without the check; neither bit opens nothing.
enum class OpenMode : std::uint32_t {
    Read = 1,
    Write = 2,
    ReadChecked = 5,  // Read without the check, for a caller that has made it already (FolderCache's file system).
};

}  // namespace gridport
