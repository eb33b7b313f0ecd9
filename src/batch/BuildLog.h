#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Error.h"
#include "batch/Shared.h"
#include "filesystem/FileSystem.h"

namespace gridport::batch {

// The build log's name in OUTPUT.
inline constexpr const char* kBuildLogName = ".gridport.log";

// A file's size and time of last change, as the log keeps them.
struct Stamp {
    std::uint64_t size = 0;
    std::uint64_t modified = 0;

    bool operator==(const Stamp&) const = default;
};

inline Stamp StampOf(const FileStatus& status) {
    return {status.size, status.modified};
}

// The stamps of a conversion's inputs and of its output.
struct Made {
    Stamp map;
    Stamp tileset;
    Stamp output;

    bool operator==(const Made&) const = default;
};

// An output's picture as drawn: its stamp, and how it was drawn (PictureDrawingName).
struct DrawnPicture {
    Stamp stamp;
    std::string drawing;

    bool operator==(const DrawnPicture&) const = default;
};

// What one output was made from, and by which version; its picture, when one was drawn from it.
struct LogEntry {
    std::string map;
    Shared<std::string> tileset;  // one copy for the lines that name the same
    Made stamps;
    Shared<std::string> version;
    Shared<DrawnPicture> picture;
};

// An output made in this run (by this version), or whose picture was, its tileset's name held by the caller.
struct LogLine {
    std::string output;
    std::string map;
    std::string_view tileset;
    Made stamps;
    std::optional<DrawnPicture> picture;
};

// The build log: for each output, named by its path below OUTPUT, what it was made from. A text file:
//
//   gridport-batch build log 2
//   OUTPUT-NAME <TAB> MAP <TAB> TILESET <TAB> MAP-SIZE <TAB> MAP-TIME <TAB> TILESET-SIZE <TAB> TILESET-TIME
//     <TAB> OUTPUT-SIZE <TAB> OUTPUT-TIME <TAB> VERSION [<TAB> PICTURE-SIZE <TAB> PICTURE-TIME <TAB> DRAWING]
//
// one line per output, the last three fields when its picture (NAME.png) was drawn from it; paths as the batch spelt
// them, without "." parts or repeated separators, with '%', tabs and control characters written %XX; times in the file system's own units. A line that doesn't read so is left out;
// a log whose first line differs is empty.
class BuildLog {
public:
    // The log at path; missing, unreadable, not a regular file or damaged, it is empty (or lacks the damaged lines).
    static BuildLog Read(FileSystem& files, const std::string& path);

    const LogEntry* Find(const std::string& output) const;

    // Whether the entry for output names this pair, with these stamps, written by this version.
    bool Names(const std::string& output, const std::string& map, const std::string& tileset, const Made& stamps) const;

    // Whether the entry for output says its picture, now of stamp, was drawn from it as drawing says.
    bool Drew(const std::string& output, const DrawnPicture& picture) const;

    // The log with the lines made(i) gives for i below count (first, in that order) in place of the entries for the
    // same outputs, written to path through a temporary file renamed over it.
    Expected<void> Write(FileSystem& files, const std::string& path, std::size_t count,
                         const std::function<std::optional<LogLine>(std::size_t)>& made) const;

private:
    std::unordered_map<std::string, LogEntry> entries_;
};

}  // namespace gridport::batch
