#include "filesystem/OutputFile.h"

#include <cerrno>
#include <utility>

#include "filesystem/PlatformFiles.h"

namespace gridport {

OutputFile::OutputFile(std::string name, std::string target, Error& error)
    : name_(std::move(name)), target_(std::move(target)), error_(error) {}

OutputFile::~OutputFile() {
    Discard();
}

void OutputFile::Attach(std::FILE* stream, std::string temporary) noexcept {
    stream_.Attach(stream);
    temporary_ = std::move(temporary);
}

std::uint32_t OutputFile::Read(void* buffer, std::uint32_t count) {
    return stream_.Read(buffer, count);
}

std::uint32_t OutputFile::Write(const void* data, std::uint32_t count) {
    errno = 0;
    const std::uint32_t written = stream_.Write(data, count);
    if (written != count) {
        error_.FailSystem(name_, "cannot write", errno != 0 ? errno : EIO);
    }
    return written;
}

bool OutputFile::Close() {
    // The stream's buffer goes out here, so a full disk often shows only now.
    errno = 0;
    if (!stream_.Close()) {
        error_.FailSystem(name_, "cannot write", errno != 0 ? errno : EIO);
        Discard();
        return false;
    }
    if (temporary_.empty()) {
        return true;
    }
    if (!platform::Replace(temporary_, target_)) {
        error_.FailSystem(name_, "cannot replace it with the new file", errno);
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::Discard() noexcept {
    stream_.Close();
    if (!temporary_.empty()) {
        std::remove(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace gridport
