#pragma once

#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FolderCache.h"

namespace gridport {

// How gridport-batch and mapview pair a map with its tileset, by the name the map stores.
// The tileset for the map at mapPath storing storedName: the file spelt like storedName up to letter case, in the map's
// folder, then each of folders; the first match wins. A stored name with folder parts ('\' or '/') is relative to each
// folder, parts matched case-insensitively too; one with a drive or root is looked up by file name alone. The path
// returned is spelt as listed. The error says what was looked for where, or names two files differing only in case.
Expected<std::string> FindTileset(const std::string& mapPath, const std::string& storedName,
                                  const std::vector<std::string>& folders, FolderCache& cache);

}  // namespace gridport
