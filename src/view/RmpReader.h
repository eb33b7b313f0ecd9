#pragma once

#include <memory>
#include <string>

#include "filesystem/FileSystem.h"
#include "view/RmpDocument.h"

namespace gridport {

// Reads a whole RMP map file, embedded RTS tileset included, checking every
// count and length against the bytes that remain before anything is
// allocated. The tileset must end exactly at the end of the file. On failure
// it returns nullptr and sets error to one line naming the file and the byte
// offset where reading stopped.
std::unique_ptr<RmpDocument> ReadRmp(const std::string& path, FileSystem& fileSystem, std::string& error);

}  // namespace gridport
