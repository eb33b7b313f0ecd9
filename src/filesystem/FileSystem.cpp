#include "filesystem/FileSystem.h"

#include <cerrno>

#include "filesystem/PlatformFiles.h"

namespace gridport {

const char* KindName(FileKind kind) {
    switch (kind) {
        case FileKind::Missing:
            return "nothing";
        case FileKind::Regular:
            return "a regular file";
        case FileKind::Folder:
            return "a folder";
        case FileKind::Fifo:
            return "a FIFO";
        case FileKind::Device:
            return "a device";
        case FileKind::Link:
            return "a symbolic link";
        case FileKind::Other:
            break;
    }
    return "a special file";
}

std::size_t FileNameStart(const std::string& path) {
    const std::size_t cut = path.find_last_of(platform::kSeparators);
    return cut == std::string::npos ? 0 : cut + 1;
}

Error NotARegularFile(const std::string& path, FileKind kind) {
    return Error(ErrorKind::System, path, std::string("not a regular file (") + KindName(kind) + ")");
}

Expected<void> RequireRegular(const std::string& path, const FileStatus& status) {
    switch (status.kind) {
        case FileKind::Regular:
            return Success();
        case FileKind::Missing:
        case FileKind::Link:  // one whose end is missing
            return Error::System(path, "cannot open", ENOENT);
        case FileKind::Folder:
            return Error::System(path, "cannot open", EISDIR);
        default:
            return NotARegularFile(path, status.kind);
    }
}

}  // namespace gridport
