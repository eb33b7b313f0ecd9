#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/File.h"
#include "filesystem/FileStatus.h"
#include "filesystem/OpenMode.h"

namespace gridport {

// The separator that joins a folder and a name in the paths this program makes: the exact-name check cuts at the last
// backslash when a path has one, so on Windows every join is a backslash. Windows' file names ignore letter case: there
// "A.rmp" and "a.rmp" are one file.
#ifdef _WIN32
inline constexpr char kFolderJoin = '\\';
inline constexpr bool kNamesIgnoreCase = true;
#else
inline constexpr char kFolderJoin = '/';
inline constexpr bool kNamesIgnoreCase = false;
#endif

// Succeeds when status, the status of path, is a regular file's: anything else is refused by its kind before it is
// opened for reading, so that a FIFO or a device never holds the reader up ("x.map: not a regular file (a FIFO)"; a
// missing file and a folder get the system's words).
Expected<void> RequireRegular(const std::string& path, const FileStatus& status);
// "x.rmp: not a regular file (a folder)": the reason of what is of kind where a regular file must be.
Error NotARegularFile(const std::string& path, FileKind kind);

class FileSystem {
public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    // A new File owned by the caller, or why it can't be opened: the exact-name check's reason, RequireRegular's when
    // it is opened for reading, or the system's ("town.map: cannot open: No such file or directory").
    virtual Expected<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) = 0;

    // An output that replaces path only once it is committed. When path does not exist or names a regular file (through
    // symbolic links, which stay), the writes go to a new temporary file beside that file, and Commit flushes, closes
    // and renames it over the target. An output destroyed without a successful Commit removes its temporary file, so
    // the target is exactly as it was: its old bytes, or still absent. An existing target's owner, group and permission
    // bits carry over to the new file. Where the system refuses the owner or the group, where the target can't be
    // renamed over (a file mounted onto it) or where its folder takes no new file, the temporary file (in the system's
    // temporary folder in the last case) gets every byte first, and Commit then writes them into the existing file in
    // place. When path exists and is something else (a device, a pipe, a directory), it is written in place from the
    // start.
    virtual Expected<std::unique_ptr<OutputFile>> OpenOutput(const std::string& path) = 0;

    // True when both paths name existing files and they are one file, whatever the spelling (links, "./", "..", and
    // letter case where the file system ignores it).
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;

    // What path names, symbolic links followed; nothing there is a status of kind Missing. Fails ("cannot open") only
    // when it can't be looked at.
    virtual Expected<FileStatus> Status(const std::string& path) = 0;

    // A folder's entries in the system's order. Fails ("cannot list the folder") when the folder can't be listed, or
    // not to its end.
    virtual Expected<std::vector<FolderEntry>> List(const std::string& folder) = 0;

    // The same text for every path to one existing file or folder (links, "." and ".." resolved), for telling when a
    // walk comes back to a folder. Fails ("cannot open") where Status would, and when nothing is there.
    virtual Expected<std::string> Identity(const std::string& path) = 0;

    // Makes folder and those above it that are missing.
    virtual Expected<void> MakeFolders(const std::string& folder) = 0;
};

}  // namespace gridport
