#pragma once

#include "filesystem/StdioFileSystem.h"

namespace gridport {

// The one process-wide file system: it has no state.
extern StdioFileSystem defaultFileSystem;

}  // namespace gridport
