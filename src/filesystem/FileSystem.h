#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/File.h"
#include "filesystem/FileStatus.h"
#include "filesystem/OpenMode.h"

namespace gridport {

// The separator this program joins paths with: the exact-name check cuts at the last backslash when there is one, so on
// Windows every join is a backslash. Windows' names ignore letter case: "A.rmp" and "a.rmp" are one file.
#ifdef _WIN32
inline constexpr char kFolderJoin = '\\';
inline constexpr bool kNamesIgnoreCase = true;
#else
inline constexpr char kFolderJoin = '/';
inline constexpr bool kNamesIgnoreCase = false;
#endif

// Succeeds when status (path's) is a regular file's. Anything else is refused before opening, so a FIFO or device never
// blocks the reader ("x.map: not a regular file (a FIFO)"; a missing file and a folder get the system's words).
Expected<void> RequireRegular(const std::string& path, const FileStatus& status);
// "x.rmp: not a regular file (a folder)": the reason of what is of kind where a regular file must be.
Error NotARegularFile(const std::string& path, FileKind kind);
// Where path's file name starts: after its last separator as this system has them ("/"; also "\" and ":" on
// Windows), 0 when there is none. A backslash is part of a name on POSIX.
std::size_t FileNameStart(const std::string& path);

class FileSystem {
public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    // A caller-owned File, or why not: the exact-name check's, RequireRegular's (reading) or the system's reason.
    virtual Expected<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) = 0;

    // An output that replaces path only once committed. A missing or regular path (through symbolic links, which stay)
    // is written to a new temporary file beside it, which Commit flushes, closes and renames over it; without a
    // successful Commit the temporary file goes and the target stays as it was. The owner, group and mode carry over.
    // Where the owner or group is refused, the target can't be renamed over (a mount) or its folder takes no new file,
    // the temporary file (then in the system's temporary folder) takes every byte and Commit writes them in place.
    // Anything else (a device, a pipe) is written in place directly.
    virtual Expected<std::unique_ptr<OutputFile>> OpenOutput(const std::string& path) = 0;

    // True when both paths name one existing file, however spelt (links, "./", "..", letter case where ignored).
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;

    // What path names, links followed; nothing there is kind Missing. Fails ("cannot open") only if unreadable.
    virtual Expected<FileStatus> Status(const std::string& path) = 0;

    // A folder's entries in system order. Fails ("cannot list the folder") when it can't be listed to its end.
    virtual Expected<std::vector<FolderEntry>> List(const std::string& folder) = 0;

    // The same text for every path to one existing file or folder, to tell when a walk comes back to a folder. Fails
    // ("cannot open") where Status would, and when nothing is there.
    virtual Expected<std::string> Identity(const std::string& path) = 0;

    // Makes folder and those above it that are missing.
    virtual Expected<void> MakeFolders(const std::string& folder) = 0;
};

}  // namespace gridport
