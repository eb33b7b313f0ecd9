#pragma once

#include <string>
#include <vector>

#include "filesystem/FileSystem.h"

namespace gridport {

// rmpview without its process: the arguments after the program name, what
// it prints to standard output and to standard error, and the exit status
// (0 done, 1 the file couldn't be read, drawn or written, 2 wrong usage).
int RunRmpView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err);

}  // namespace gridport
