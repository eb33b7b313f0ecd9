#include "filesystem/StdioFile.h"

namespace gridport {

namespace {

// 64-bit positions, so that files over 2 GiB work on every host.
std::int64_t TellStream(std::FILE* stream) {
#ifdef _WIN32
    return _ftelli64(stream);
#else
    return ftello(stream);
#endif
}

int SeekStream(std::FILE* stream, std::int64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(stream, offset, origin);
#else
    return fseeko(stream, static_cast<off_t>(offset), origin);
#endif
}

}  // namespace

StdioFile::~StdioFile() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
}

std::uint32_t StdioFile::Read(void* buffer, std::uint32_t count) {
    if (stream_ == nullptr) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::fread(buffer, 1, count, stream_));
}

std::uint32_t StdioFile::Write(const void* data, std::uint32_t count) {
    if (stream_ == nullptr) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::fwrite(data, 1, count, stream_));
}

std::int64_t StdioFile::Size() {
    if (stream_ == nullptr) {
        return -1;
    }
    const std::int64_t here = TellStream(stream_);
    if (here < 0 || SeekStream(stream_, 0, SEEK_END) != 0) {
        return -1;
    }
    const std::int64_t end = TellStream(stream_);
    if (SeekStream(stream_, here, SEEK_SET) != 0) {
        return -1;
    }
    return end;
}

std::int64_t StdioFile::Tell() {
    return stream_ == nullptr ? -1 : TellStream(stream_);
}

int StdioFile::Seek(std::int64_t position) {
    if (stream_ == nullptr || position < 0) {
        return -1;
    }
    return SeekStream(stream_, position, SEEK_SET);
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
