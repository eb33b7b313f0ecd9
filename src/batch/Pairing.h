#pragma once

#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FolderCache.h"

namespace gridport::batch {

// The tileset of a map whose path is mapPath and which stores storedName: the file spelt like storedName up to letter
// case, in the map's folder and then in each of folders, in order; the first folder that has it wins. A stored name
// with folder parts ('\' or '/') is taken relative to each of those folders, its folder parts matched up to letter case
// too; one that names a drive or starts at the root is looked up by its file name alone. The path returned spells the
// file as its folder lists it. The error, for the map, says what was looked for where, or names the two files that
// differ only in letter case.
Expected<std::string> FindTileset(const std::string& mapPath, const std::string& storedName,
                                  const std::vector<std::string>& folders, FolderCache& cache);

}  // namespace gridport::batch
