// PlatformFiles.h operations only a full Unix has: owners, modes, reserved room, in-place writes, writeback, inodes.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "filesystem/PlatformFilesPosix.h"

namespace gridport::platform {

bool TakeOwnerAndBits(int descriptor, const OutputTarget& target, bool& ownerKept) {
    // The owner first: a change of owner clears the set-user-ID bit.
    struct stat made {};
    if (fstat(descriptor, &made) != 0) {
        return false;
    }
    const auto owner = static_cast<uid_t>(target.owner);
    const auto group = static_cast<gid_t>(target.group);
    if (target.owner >= 0 && (made.st_uid != owner || made.st_gid != group)) {
        ownerKept = fchown(descriptor, owner, group) == 0;
    }
    return !ownerKept || fchmod(descriptor, static_cast<mode_t>(target.mode)) == 0;
}

std::size_t NameLimit(const std::string& folder) {
    const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

Expected<std::string> Identity(const std::string& path) {
    return FileIdentity(path);
}

Expected<std::string> StreamIdentity(std::FILE* stream) {
    struct stat info {};
    if (fstat(fileno(stream), &info) != 0) {
        return Error::System("a stream", "cannot look at it", errno);
    }
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

namespace {

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
    bool Close() {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return close(descriptor) == 0;
    }

private:
    int descriptor_;
};

// Reserves disk room for size bytes of target (now length long), leaving bytes and length as they are; errno if none.
bool Reserve(int target, off_t length, off_t size) {
#ifdef __linux__
    // Every block of the new length, holes included, without changing the length yet.
    if (fallocate(target, FALLOC_FL_KEEP_SIZE, 0, size) == 0) {
        return true;
    }
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        return false;
    }
#endif
    // Elsewhere the file grows at once (the C library writes zeros if it can't reserve) and shrinks back on failure.
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

// The copy itself, with errno set on failure.
bool CopyBytes(const std::string& staged, const std::string& target) {
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

}  // namespace

Expected<void> CopyInPlace(const std::string& staged, const std::string& target) {
    if (!CopyBytes(staged, target)) {
        return Error::System(target, "cannot write in place", errno);
    }
    return Success();
}

void StartWriteback([[maybe_unused]] std::FILE* stream, [[maybe_unused]] std::uint64_t offset,
                    [[maybe_unused]] std::uint64_t count) {
#ifdef __linux__
    sync_file_range(fileno(stream), static_cast<std::int64_t>(offset), static_cast<std::int64_t>(count),
                    SYNC_FILE_RANGE_WRITE);
#endif
}

}  // namespace gridport::platform
