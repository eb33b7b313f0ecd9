#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport::batch {

// The separator that joins a folder and a name in the paths the batch makes.
inline constexpr char kJoin = kFolderJoin;

// One map to convert: its path (SOURCE joined with the relative path), and where its output goes (OUTPUT joined with
// the relative folder, NAME.rmp).
struct MapEntry {
    std::string map;
    std::string relative;  // from SOURCE, '/'-separated: how reports sort and name it
    std::string output;
    // The map before it in the list whose output is the same file ("a.map" and "a.MAP"), if any: this one then fails
    // rather than overwrite it.
    std::optional<std::string> sameOutputAs;
};

struct FoundMaps {
    std::vector<MapEntry> maps;
    // Folders below SOURCE that couldn't be listed: each is a failure, and the walk goes on without it.
    std::vector<Error> unreadable;
};

bool IsMapName(const std::string& name);  // Whether name ends in ".map", in any letter case.

// Every map under source (a folder, walked through symbolic links but never into a folder twice, nor into the output
// folder), or source alone when it is not a folder; sorted by relative path. A map is any entry whose name ends in
// ".map", whatever its kind: one that is no regular file fails when it is opened. Fails when source can't be looked at
// or is missing.
Expected<FoundMaps> FindMaps(FileSystem& files, const std::string& source, const std::string& output);

}  // namespace gridport::batch
