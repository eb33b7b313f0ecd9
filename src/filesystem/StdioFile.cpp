#include "filesystem/StdioFile.h"

#include <cerrno>

#include "base/Signals.h"
#include "filesystem/PlatformFiles.h"

namespace gridport {

StdioFile::~StdioFile() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
}

std::uint32_t StdioFile::Read(void* buffer, std::uint32_t count) {
    if (stream_ == nullptr) {
        return 0;
    }
    std::size_t got = std::fread(buffer, 1, count, stream_);
    // A signal that only interrupted the read (a FIFO that waits for its
    // writer) is read through; after a stop request the read ends short.
    while (got < count && std::ferror(stream_) && errno == EINTR && !StopRequested()) {
        std::clearerr(stream_);
        got += std::fread(static_cast<unsigned char*>(buffer) + got, 1, count - got, stream_);
    }
    return static_cast<std::uint32_t>(got);
}

std::uint32_t StdioFile::Write(const void* data, std::uint32_t count) {
    return stream_ == nullptr ? 0 : static_cast<std::uint32_t>(std::fwrite(data, 1, count, stream_));
}

std::int64_t StdioFile::Size() {
    if (stream_ == nullptr) {
        return -1;
    }
    const std::int64_t here = platform::TellStream(stream_);
    if (here < 0 || platform::SeekStream(stream_, 0, SEEK_END) != 0) {
        return -1;
    }
    const std::int64_t end = platform::TellStream(stream_);
    return platform::SeekStream(stream_, here, SEEK_SET) == 0 ? end : -1;
}

std::int64_t StdioFile::Tell() {
    return stream_ == nullptr ? -1 : platform::TellStream(stream_);
}

int StdioFile::Seek(std::int64_t position) {
    return stream_ == nullptr || position < 0 ? -1 : platform::SeekStream(stream_, position, SEEK_SET);
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
