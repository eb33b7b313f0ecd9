#pragma once

#include "filesystem/FileSystem.h"

namespace gridport {

// Files through the C library. Opening with exactly OpenMode::Read first
// makes the exact-name check, so that a case-insensitive file system can't
// hand over a file whose name is spelt differently.
class StdioFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override;
};

}  // namespace gridport
