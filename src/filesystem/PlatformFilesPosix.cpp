#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "filesystem/PlatformFiles.h"

namespace gridport::platform {

namespace {

// As many links as the kernel itself follows before it gives up.
constexpr int kMostLinks = 40;

// The path that the symbolic links of path's last component lead to; path
// itself when it is no link. Only the last component is followed: folders on
// the way may be links, a rename through them stays in the same folder.
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
        // A path that is missing is created, also where a dangling link
        // leads; one that can't be looked at, or a link that can't be
        // followed to its end, is left to the open in place, which gives the
        // reason.
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
    // The end of the links must be the file itself, not a link: one that
    // can't be followed there, or that names the file in a way that can't be
    // renamed over (such as /dev/stdout to a deleted file), writes in place,
    // as before.
    const bool same = lstat(target.file.c_str(), &end) == 0 && end.st_dev == status.st_dev &&
                      end.st_ino == status.st_ino;
    target.kind = same ? OutputKind::Regular : OutputKind::Other;
    target.file = same ? target.file : path;
    target.mode = static_cast<int>(status.st_mode & 07777);
    return target;
}

bool Writable(const std::string& path) {
    return access(path.c_str(), W_OK) == 0;
}

std::FILE* CreateNew(const std::string& path, const OutputTarget& target) {
    // A replacement starts private and gets the old file's bits before any
    // byte is written, so it is never more open than the file it replaces.
    const int descriptor =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, target.mode >= 0 ? 0600 : 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* stream = nullptr;
#ifdef __wasi__
    // WASI has no permission bits: there is nothing to carry over.
    const bool keptBits = true;
#else
    const bool keptBits = target.mode < 0 || fchmod(descriptor, static_cast<mode_t>(target.mode)) == 0;
#endif
    if (keptBits) {
        stream = fdopen(descriptor, "wb");
    }
    if (stream == nullptr) {
        const int cause = errno;
        close(descriptor);
        unlink(path.c_str());
        errno = cause;
    }
    return stream;
}

bool Replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void StartWriteback([[maybe_unused]] std::FILE* stream, [[maybe_unused]] std::uint64_t offset,
                    [[maybe_unused]] std::uint64_t count) {
#ifdef __linux__
    sync_file_range(fileno(stream), static_cast<std::int64_t>(offset), static_cast<std::int64_t>(count),
                    SYNC_FILE_RANGE_WRITE);
#endif
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool IsDirectory(std::FILE* stream) {
    struct stat status {};
    return fstat(fileno(stream), &status) == 0 && S_ISDIR(status.st_mode);
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
