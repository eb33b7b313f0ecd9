// PlatformFiles.h operations shared by Unix and WASI's POSIX-like libc; PlatformFilesUnix/Wasi.cpp hold the rest.

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "filesystem/PlatformFilesPosix.h"

namespace gridport::platform {

namespace {

constexpr int kMostLinks = 40;  // As many links as the kernel itself follows before it gives up.

// The path that the symbolic links of path's last component lead to; path itself when it is no link. Only the last
// component is followed: folders on the way may be links, a rename through them stays in the same folder.
std::string LinkEnd(std::string path) {
    std::vector<char> text(4096);
    for (int hop = 0; hop < kMostLinks; ++hop) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return path;
        }
        const ssize_t length = readlink(path.c_str(), text.data(), text.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= text.size()) {
            return path;
        }
        const std::string target(text.data(), static_cast<std::size_t>(length));
        const std::size_t cut = path.rfind('/');
        path = target[0] == '/' || cut == std::string::npos ? target : path.substr(0, cut + 1) + target;
    }
    return path;
}

}  // namespace

OutputTarget InspectOutput(const std::string& path) {
    OutputTarget target;
    struct stat status {};
    struct stat end {};
    if (stat(path.c_str(), &status) != 0) {
        // Missing (or a dangling link's end): created. Anything unreadable or unfollowable is left to the in-place
        // open.
        target.file = errno == ENOENT ? LinkEnd(path) : path;
        const bool missing = lstat(target.file.c_str(), &end) != 0 && errno == ENOENT;
        target.kind = missing ? OutputKind::Missing : OutputKind::Other;
        target.file = missing ? target.file : path;
        return target;
    }
    if (!S_ISREG(status.st_mode)) {
        target.kind = OutputKind::Other;
        target.file = path;
        return target;
    }
    target.file = LinkEnd(path);
    // The links must end at the file itself; if not, or if it can't be renamed over (/dev/stdout), write in place.
    const bool same = lstat(target.file.c_str(), &end) == 0 && end.st_dev == status.st_dev &&
                      end.st_ino == status.st_ino;
    target.kind = same ? OutputKind::Regular : OutputKind::Other;
    target.file = same ? target.file : path;
    target.mode = static_cast<int>(status.st_mode & 07777);
    target.owner = static_cast<long long>(status.st_uid);
    target.group = static_cast<long long>(status.st_gid);
    return target;
}

Expected<void> CheckWritable(const std::string& path) {
    if (access(path.c_str(), W_OK) != 0) {
        return Error::System(path, "cannot open", errno);
    }
    return Success();
}

Expected<NewFile> CreateNew(const std::string& path, const OutputTarget& target) {
    // A replacement starts private and gets the old owner and bits before any byte: never more open than the old file.
    const bool replacing = target.kind == OutputKind::Regular;
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
    if (descriptor < 0) {
        return Error::System(path, "cannot create", errno);
    }
    NewFile made;
    const bool ready = !replacing || TakeOwnerAndBits(descriptor, target, made.ownerKept);
    made.stream = ready ? fdopen(descriptor, "wb") : nullptr;
    if (made.stream == nullptr) {
        const int cause = errno;
        close(descriptor);
        unlink(path.c_str());
        return Error::System(path, "cannot create", cause);
    }
    return made;
}

std::string StagingFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder != nullptr && *folder == '/' ? folder : "/tmp";
    if (path.back() != '/') {
        path += '/';
    }
    return path;
}

std::string FullPath(const std::string& path) {
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    std::vector<char> folder(PATH_MAX);
    return getcwd(folder.data(), folder.size()) != nullptr ? std::string(folder.data()) + "/" + path : path;
}

Expected<void> Replace(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return Error::System(to, "cannot replace", errno);
    }
    return Success();
}

namespace {

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Folder;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::Fifo;
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return FileKind::Device;
    }
    return S_ISLNK(mode) ? FileKind::Link : FileKind::Other;
}

// The kind that a listing tells without looking at the file; Missing when it doesn't tell.
FileKind KindOfEntry(unsigned char type) {
    switch (type) {
        case DT_REG:
            return FileKind::Regular;
        case DT_DIR:
            return FileKind::Folder;
        case DT_FIFO:
            return FileKind::Fifo;
        case DT_CHR:
        case DT_BLK:
            return FileKind::Device;
        case DT_LNK:
            return FileKind::Link;
        case DT_UNKNOWN:
            return FileKind::Missing;
        default:
            return FileKind::Other;
    }
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

Expected<FileStatus> Status(const std::string& path) {
    FileStatus status;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        const int cause = errno;
        if (cause != ENOENT && cause != ENOTDIR) {
            return Error::System(path, "cannot open", cause);
        }
        // Nothing there, or a link whose end is missing.
        status.kind = lstat(path.c_str(), &info) == 0 ? FileKind::Link : FileKind::Missing;
        return status;
    }
    status.kind = KindOf(info.st_mode);
    status.size = static_cast<std::uint64_t>(info.st_size);
    status.modified = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000U +
                      static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
    return status;
}

Expected<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
    const std::string where = folder.empty() ? "." : folder;
    const std::unique_ptr<DIR, DirCloser> listing(opendir(where.c_str()));
    if (listing == nullptr) {
        return Error::System(folder, "cannot list the folder", errno);
    }
    const std::string prefix = where.back() == '/' ? where : where + "/";
    std::vector<FolderEntry> entries;
    errno = 0;
    while (const dirent* entry = readdir(listing.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            FileKind kind = KindOfEntry(entry->d_type);
            if (kind == FileKind::Missing) {
                struct stat info {};
                kind = lstat((prefix + entry->d_name).c_str(), &info) == 0 ? KindOf(info.st_mode) : FileKind::Other;
            }
            entries.push_back({std::string(name), kind});
        }
        errno = 0;
    }
    if (errno != 0) {
        return Error::System(folder, "cannot list the folder", errno);
    }
    return entries;
}

Expected<void> MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) {
        return Success();
    }
    const int cause = errno;
    struct stat info {};
    if (cause == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return Success();
    }
    return Error::System(path, "cannot make the folder", cause == EEXIST ? ENOTDIR : cause);
}

Expected<std::string> FileIdentity(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return Error::System(path, "cannot open", errno);
    }
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

std::int64_t TellStream(std::FILE* stream) {
    return ftello(stream);
}

int SeekStream(std::FILE* stream, std::int64_t offset, int origin) {
    return fseeko(stream, static_cast<off_t>(offset), origin);
}

void UseBinaryStandardStreams() {}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

}  // namespace gridport::platform

