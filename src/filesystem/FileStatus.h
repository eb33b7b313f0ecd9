#pragma once

#include <cstdint>
#include <string>

namespace gridport {

// What a path names. Link only where a symbolic link isn't followed: in a listing, or when its target is missing.
enum class FileKind { Missing, Regular, Folder, Fifo, Device, Link, Other };

const char* KindName(FileKind kind);  // "a folder", "a FIFO": the kind as a reason names it.

// A path's status, symbolic links followed. Times count nanoseconds (100 ns steps on Windows) from the platform's own
// start: only their order means anything. A missing file has only its kind.
struct FileStatus {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;
    std::uint64_t modified = 0;
};

// One entry of a folder's listing ("." and ".." never are), its kind unfollowed: a symbolic link is Link.
struct FolderEntry {
    std::string name;
    FileKind kind = FileKind::Other;
};

}  // namespace gridport
