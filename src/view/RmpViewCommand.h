#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "filesystem/FileSystem.h"

namespace gridport {

// rmpview without its process: arguments after the program name, its standard output and error, and the exit status (0
// done, 1 failed, 2 wrong usage). Progress goes to `progress` if non-null.
int RunRmpView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err,
               std::FILE* progress = nullptr);

}  // namespace gridport
