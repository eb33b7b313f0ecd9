#pragma once

#include <memory>
#include <string>

#include "filesystem/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// Opens a file for the codecs, recording why when it can't be opened.
inline std::unique_ptr<File> OpenRecorded(FileSystem& fileSystem, const std::string& path, OpenMode mode,
                                          Error& error) {
    return fileSystem.Open(path, mode, error);
}

}  // namespace gridport
