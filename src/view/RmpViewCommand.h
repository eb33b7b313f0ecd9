#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "filesystem/FileSystem.h"

namespace gridport {

// rmpview without its process: the arguments after the program name, what it prints to standard output and to standard
// error, and the exit status (0 done, 1 the file couldn't be read, drawn or written, 2 wrong usage). Progress lines go
// to `progress` when it isn't nullptr.
int RunRmpView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err,
               std::FILE* progress = nullptr);

}  // namespace gridport
