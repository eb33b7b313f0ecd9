#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "batch/MapFinder.h"
#include "batch/Options.h"
#include "filesystem/FileSystem.h"
#include "filesystem/FolderCache.h"

namespace gridport::batch {

enum class MapResult { NotDone, Converted, UpToDate, Failed, WouldConvert };

// What became of one map.
struct MapRecord {
    MapResult result = MapResult::NotDone;
    std::optional<std::string> tileset;  // the file found, if one was
    std::optional<Error> failure;        // why it failed, as mapview says it
    std::uint64_t bytes = 0;
    double milliseconds = 0;
};

// Runs the batch over maps on options.jobs threads (at least one) through fileSystem, which must be thread-safe,
// finding tilesets through cache (the one fileSystem reads, if any). Records line up with maps. progress, if non-null,
// is a terminal that gets progress lines. Stops taking maps on a stop request and, with --fail-fast, after a failure.
std::vector<MapRecord> RunBatch(const std::vector<MapEntry>& maps, const BatchOptions& options,
                                FileSystem& fileSystem, FolderCache& cache, std::FILE* progress);

const char* ResultName(MapResult result);

}  // namespace gridport::batch
