#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "filesystem/FileSystem.h"

namespace gridport {

// mapview without its process, as RunRmpView: summarises a MAP file and, given the tileset, says whether gridport
// converts the pair (status 0) or why not (1); 2 for wrong usage.
int RunMapView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err,
               std::FILE* progress = nullptr);

}  // namespace gridport
