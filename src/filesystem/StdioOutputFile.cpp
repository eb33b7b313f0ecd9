#include "filesystem/StdioOutputFile.h"

#include <cerrno>

#include "base/Signals.h"
#include "filesystem/PlatformFiles.h"

namespace gridport {

namespace {

// Bytes of a file that replaces another by rename are started toward the disk in steps of this size: else ext4's
// auto_da_alloc starts all at the rename, which waits (a 67 MB map: 62-70 ms with steps, 70-78 without; 2-16 MiB alike)
constexpr std::uint64_t kWritebackStep = std::uint64_t{4} << 20;

}  // namespace

StdioOutputFile::~StdioOutputFile() {
    Discard();
}

Expected<void> StdioOutputFile::Write(const void* data, std::size_t count) {
    Expected<void> written = stream_.Write(data, count);
    if (!written) {
        if (!writeError_) {
            writeError_ = written.error();
        }
        return written;
    }
    written_ += count;
    if (way_ == Way::Rename && written_ - sent_ >= kWritebackStep) {
        platform::StartWriteback(stream_.Stream(), sent_, written_ - sent_);
        sent_ = written_;
    }
    return written;
}

Expected<void> StdioOutputFile::Commit() {
    // The stream's buffer goes out here, so a full disk often shows only now.
    errno = 0;
    if (!stream_.Close() && !writeError_) {
        writeError_ = Error::System(name_, "cannot write", errno != 0 ? errno : EIO);
    }
    if (writeError_) {
        Discard();
        return *writeError_;
    }
    if (way_ == Way::Direct) {
        return Success();
    }
    // No signal between the change on the disk and the table's.
    const HeldSignals held;
    if (way_ == Way::Rename) {
        const Expected<void> replaced = platform::Replace(temporary_, target_);
        if (replaced) {
            temporary_.clear();
            entry_.Forget();
            return Success();
        }
        // A file mounted onto the target's path (a container's bind mount) can't be renamed over, but can be written.
        if (replaced.error().Cause() != EBUSY || !inPlaceAllowed_) {
            Discard();
            return Error::System(name_, "cannot replace it with the new file", replaced.error().Cause());
        }
    }
    // Every byte is in the temporary file; a signal during the copy waits until the target holds all of them.
    entry_.Copying(true);
    const Expected<void> copied = platform::CopyInPlace(temporary_, target_);
    entry_.Copying(false);
    Discard();
    if (!copied) {
        return Error::System(name_, "cannot write it in place", copied.error().Cause());
    }
    return Success();
}

void StdioOutputFile::Discard() noexcept {
    stream_.Close();
    if (!temporary_.empty()) {
        const HeldSignals held;
        std::remove(temporary_.c_str());
        temporary_.clear();
        entry_.Forget();
    }
}

}  // namespace gridport
