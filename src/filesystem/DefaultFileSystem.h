#pragma once

#include "filesystem/StdioFileSystem.h"

namespace gridport {

extern StdioFileSystem defaultFileSystem;  // The one process-wide file system: it has no state.

}  // namespace gridport
