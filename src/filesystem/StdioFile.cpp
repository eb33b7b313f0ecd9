#include "filesystem/StdioFile.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "base/Signals.h"
#include "filesystem/PlatformFiles.h"

namespace gridport {

StdioFile::~StdioFile() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
}

namespace {

// The most one C library call moves: Windows' C runtime hands counts to _read and _write as 32-bit unsigned ints.
constexpr std::size_t kLargestPiece = std::size_t{1} << 30;

int Cause() {  // errno after a failed C library call, which need not set it
    return errno != 0 ? errno : EIO;
}

Error Closed(const std::string& path, const std::string& what) {
    return Error::System(path, what, EBADF);
}

}  // namespace

Expected<std::size_t> StreamRead(std::FILE* stream, const std::string& path, void* buffer, std::size_t count) {
    if (stream == nullptr) {
        return Closed(path, "cannot read");
    }
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    while (got < count) {
        const std::size_t piece = std::min(count - got, kLargestPiece);
        errno = 0;
        const std::size_t arrived = std::fread(out + got, 1, piece, stream);
        got += arrived;
        if (arrived == piece) {
            continue;
        }
        if (!std::ferror(stream)) {
            break;  // the end of the file
        }
        const int cause = Cause();
        if (cause != EINTR || StopRequested()) {
            return Error::System(path, "cannot read", cause);
        }
        std::clearerr(stream);
    }
    return got;
}

Expected<void> StreamWrite(std::FILE* stream, const std::string& path, const void* data, std::size_t count) {
    if (stream == nullptr) {
        return Closed(path, "cannot write");
    }
    const auto* in = static_cast<const unsigned char*>(data);
    for (std::size_t done = 0; done < count;) {
        const std::size_t piece = std::min(count - done, kLargestPiece);
        errno = 0;
        if (std::fwrite(in + done, 1, piece, stream) != piece) {
            return Error::System(path, "cannot write", Cause());
        }
        done += piece;
    }
    return Success();
}

Expected<std::uint64_t> StreamTell(std::FILE* stream, const std::string& path) {
    if (stream == nullptr) {
        return Closed(path, "cannot tell the position");
    }
    errno = 0;
    const std::int64_t here = platform::TellStream(stream);
    if (here < 0) {
        return Error::System(path, "cannot tell the position", Cause());
    }
    return static_cast<std::uint64_t>(here);
}

Expected<void> StreamSeek(std::FILE* stream, const std::string& path, std::uint64_t position) {
    if (stream == nullptr) {
        return Closed(path, "cannot seek");
    }
    if (position > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return Error::System(path, "cannot seek", EINVAL);
    }
    errno = 0;
    if (platform::SeekStream(stream, static_cast<std::int64_t>(position), SEEK_SET) != 0) {
        return Error::System(path, "cannot seek", Cause());
    }
    return Success();
}

Expected<std::uint64_t> StreamSize(std::FILE* stream, const std::string& path) {
    const Expected<std::uint64_t> here = StreamTell(stream, path);
    if (!here) {
        return here.error();
    }
    errno = 0;
    if (platform::SeekStream(stream, 0, SEEK_END) != 0) {
        return Error::System(path, "cannot tell the size", Cause());
    }
    const Expected<std::uint64_t> end = StreamTell(stream, path);
    if (Expected<void> back = StreamSeek(stream, path, *here); !back) {
        return back.error();
    }
    return end;
}

Expected<std::size_t> StdioFile::Read(void* buffer, std::size_t count) {
    return StreamRead(stream_, path_, buffer, count);
}

Expected<void> StdioFile::Write(const void* data, std::size_t count) {
    return StreamWrite(stream_, path_, data, count);
}

Expected<std::uint64_t> StdioFile::Size() {
    return StreamSize(stream_, path_);
}

Expected<std::uint64_t> StdioFile::Tell() {
    return StreamTell(stream_, path_);
}

Expected<void> StdioFile::Seek(std::uint64_t position) {
    return StreamSeek(stream_, path_, position);
}

bool StdioFile::Close() {
    if (stream_ == nullptr) {
        return false;
    }
    const bool flushed = std::fflush(stream_) == 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return flushed && closed;
}

}  // namespace gridport
