#pragma once

#include <memory>
#include <string>

#include "filesystem/File.h"
#include "filesystem/OpenMode.h"

namespace gridport {

class FileSystem {
public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    // A new File owned by the caller, or nullptr when it can't be opened.
    virtual std::unique_ptr<File> Open(const std::string& path, OpenMode mode) = 0;
};

}  // namespace gridport
