#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch/BuildLog.h"
#include "batch/Shared.h"
#include "batch/MapFinder.h"
#include "batch/Options.h"
#include "filesystem/FileSystem.h"
#include "filesystem/FolderCache.h"

namespace gridport::batch {

enum class MapResult : std::uint8_t { NotDone, Converted, UpToDate, Failed, WouldConvert };

// What became of a map's picture, with --png.
enum class PictureResult : std::uint8_t { NotDone, Drawn, UpToDate, WouldDraw };

// What became of one map.
struct MapRecord {
    MapResult result = MapResult::NotDone;
    Shared<std::string> tileset;  // the file found, if one was
    Shared<Error> failure;        // why it failed, as mapview says it
    std::uint64_t bytes = 0;
    double milliseconds = 0;
    // What the build log keeps of the inputs, as they were before they were read, and (when made) of the output.
    Made stamps;
    bool made = false;  // converted, and the output's stamp is known
    PictureResult picture = PictureResult::NotDone;
    Stamp pictureStamp;  // when drawn
};

// Where the picture of a map's output goes with --png: NAME.png beside NAME.rmp.
std::string PicturePath(const MapEntry& entry);

// Runs the batch over maps on options.jobs threads (at least one) through fileSystem, which must be thread-safe,
// finding tilesets through cache (the one fileSystem reads, if any). Records line up with maps. progress, if non-null,
// is a terminal that gets progress lines; failed, if set, is called with each map that fails as it fails, one call at
// a time. Stops taking maps on a stop request and, with --fail-fast, after a failure.
//
// Every map is paired first and its output checked, all before anything is written: an output that is any input of
// the batch (a map, or a tileset found or given, however spelt) fails its map; an output up to date is a regular file
// newer than both of its inputs, whose entry in log names the same pair with the same sizes and times (--force: none
// is). The rest are converted then, or with --dry-run only checked, as thoroughly.
//
// With --png, each output's picture (PicturePath) is an output too, checked with it: one that is an input, or there
// and not a regular file, fails its map before anything is written. A picture is drawn after its output is converted,
// or when it isn't up to date: a regular file no older than the output, which log says was drawn from it, as these
// options draw it. One that can't be drawn fails its map, the output kept. Without --png, pictures are left alone.
std::vector<MapRecord> RunBatch(const MapList& maps, const BatchOptions& options,
                                FileSystem& fileSystem, FolderCache& cache, const BuildLog& log, std::FILE* progress,
                                const std::function<void(std::size_t, const MapRecord&)>& failed = {});

const char* ResultName(MapResult result);

}  // namespace gridport::batch
