#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport::batch {

// The separator that joins a folder and a name in the paths the batch makes.
inline constexpr char kJoin = kFolderJoin;

// One map: its path (SOURCE joined with the relative path) and its output (OUTPUT/relative folder/NAME.rmp).
struct MapEntry {
    std::string map;
    std::string relative;  // from SOURCE, '/'-separated: how reports sort and name it
    std::string output;
    // An earlier map with the same output ("a.map" and "a.MAP"), if any: this one then fails rather than overwrite.
    std::optional<std::string> sameOutputAs;
};

struct FoundMaps {
    std::vector<MapEntry> maps;
    // Folders below SOURCE that couldn't be listed: each is a failure, and the walk goes on without it.
    std::vector<Error> unreadable;
};

bool IsMapName(const std::string& name);  // Whether name ends in ".map", in any letter case.

// The output's path below OUTPUT, '/'-separated, with the output's ending: how the build log names it.
std::string OutputName(const MapEntry& entry);

// folder and name joined with the batch's separator (none after a folder that ends in one; name alone for no folder).
std::string JoinPath(const std::string& folder, const std::string& name);

// Every map under source (a folder, walked through symbolic links but never into a folder twice nor into the output
// folder unless it is source itself: then each output goes beside its map), or source alone if not a folder; sorted by
// relative path. A map is any entry named "*.map" in any case,
// whatever its kind: a non-regular one fails when opened. Fails when source is missing or can't be looked at.
Expected<FoundMaps> FindMaps(FileSystem& files, const std::string& source, const std::string& output);

}  // namespace gridport::batch
