#pragma once

#include <string>

#include "support/Builders.h"

namespace gridport::test {

// Whole files on disk, for the tests that go through the real file system.
Bytes ReadDiskFile(const std::string& path);
void WriteDiskFile(const std::string& path, const Bytes& bytes);

}  // namespace gridport::test
