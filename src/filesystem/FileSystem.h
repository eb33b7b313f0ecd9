#pragma once

#include <memory>
#include <string>

#include "base/Error.h"
#include "filesystem/File.h"
#include "filesystem/OpenMode.h"

namespace gridport {

class FileSystem {
public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    // A new File owned by the caller, or why it can't be opened: the
    // exact-name check's reason, or the system's ("town.map: cannot open: No
    // such file or directory").
    virtual Expected<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) = 0;

    // An output that replaces path only once it is committed. When path does
    // not exist or names a regular file (through symbolic links, which stay),
    // the writes go to a new temporary file beside that file, and Commit
    // flushes, closes and renames it over the target. An output destroyed
    // without a successful Commit removes its temporary file, so the target
    // is exactly as it was: its old bytes, or still absent. An existing
    // target's owner, group and permission bits carry over to the new file.
    // Where the system refuses the owner or the group, where the target can't
    // be renamed over (a file mounted onto it) or where its folder takes no
    // new file, the temporary file (in the system's temporary folder in the
    // last case) gets every byte first, and Commit then writes them into the
    // existing file in place. When path exists and is something else (a
    // device, a pipe, a directory), it is written in place from the start.
    virtual Expected<std::unique_ptr<OutputFile>> OpenOutput(const std::string& path) = 0;

    // True when both paths name existing files and they are one file,
    // whatever the spelling (links, "./", "..", and letter case where the
    // file system ignores it).
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;
};

}  // namespace gridport
