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
    target.owner = static_cast<long long>(status.st_uid);
    target.group = static_cast<long long>(status.st_gid);
    return target;
}

bool Writable(const std::string& path) {
    return access(path.c_str(), W_OK) == 0;
}

std::FILE* CreateNew(const std::string& path, const OutputTarget& target, bool& ownerKept) {
    // A replacement starts private, and gets the old file's owner, then its
    // bits (a change of owner clears the set-user-ID bit), before any byte
    // is written, so it is never more open than the file it replaces.
    const bool replacing = target.kind == OutputKind::Regular;
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    ownerKept = true;
    bool ready = true;
    if (replacing) {
        struct stat made {};
        ready = fstat(descriptor, &made) == 0;
        const auto owner = static_cast<uid_t>(target.owner);
        const auto group = static_cast<gid_t>(target.group);
        if (ready && target.owner >= 0 && (made.st_uid != owner || made.st_gid != group)) {
            ownerKept = fchown(descriptor, owner, group) == 0;
        }
        ready = ready && (!ownerKept || fchmod(descriptor, static_cast<mode_t>(target.mode)) == 0);
    }
    std::FILE* stream = ready ? fdopen(descriptor, "wb") : nullptr;
    if (stream == nullptr) {
        const int cause = errno;
        close(descriptor);
        unlink(path.c_str());
        errno = cause;
    }
    return stream;
}

std::size_t NameLimit(const std::string& folder) {
    const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
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

bool Replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
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

// The kind that a listing tells without looking at the file; Missing when
// it doesn't tell.
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

Expected<std::string> Identity(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return Error::System(path, "cannot open", errno);
    }
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
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

#ifdef __wasi__
bool CopyInPlace(const std::string&, const std::string&) {
    errno = ENOSYS;
    return false;
}
#else
namespace {

// A descriptor that is closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return descriptor_; }
    // Closes it; false when the close reports a failure.
    bool Close() {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return close(descriptor) == 0;
    }

private:
    int descriptor_;
};

// Reserves the disk room for size bytes of target, whose length is now
// length, leaving its bytes and its length as they are; errno when the room
// isn't there.
bool Reserve(int target, off_t length, off_t size) {
#ifdef __linux__
    // Every block of the new length, holes included, without changing the
    // length yet.
    if (fallocate(target, FALLOC_FL_KEEP_SIZE, 0, size) == 0) {
        return true;
    }
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        return false;
    }
#endif
    // Elsewhere the file grows to the new length at once (the C library
    // writes zeros where the file system can't reserve), and goes back to
    // its old length when the room isn't there.
    if (size <= length) {
        return true;
    }
    const int failed = posix_fallocate(target, length, size - length);
    if (failed != 0) {
        static_cast<void>(ftruncate(target, length));
        errno = failed;
        return false;
    }
    return true;
}

}  // namespace

bool CopyInPlace(const std::string& staged, const std::string& target) {
    const Descriptor from(open(staged.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.Get() < 0) {
        return false;
    }
    Descriptor to(open(target.c_str(), O_WRONLY | O_CLOEXEC));
    struct stat source {};
    struct stat old {};
    if (to.Get() < 0 || fstat(from.Get(), &source) != 0 || fstat(to.Get(), &old) != 0) {
        return false;
    }
    if (!S_ISREG(old.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (!Reserve(to.Get(), old.st_size, source.st_size)) {
        return false;
    }
    static constexpr std::size_t kBlock = 64 * 1024;
    unsigned char block[kBlock];
    for (off_t at = 0; at < source.st_size;) {
        const ssize_t got = pread(from.Get(), block, kBlock, at);
        if (got <= 0) {
            errno = got == 0 ? EIO : errno;
            return false;
        }
        for (ssize_t put = 0; put < got;) {
            const ssize_t wrote = pwrite(to.Get(), block + put, static_cast<std::size_t>(got - put), at + put);
            if (wrote <= 0) {
                errno = wrote == 0 ? EIO : errno;
                return false;
            }
            put += wrote;
        }
        at += got;
    }
    return (source.st_size >= old.st_size || ftruncate(to.Get(), source.st_size) == 0) && to.Close();
}
#endif

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

