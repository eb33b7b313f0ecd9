#include "view/StandardStreams.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include <sys/stat.h>

namespace gridport {

namespace {

// The bytes of a stream read to its end, read-only.
class BytesFile final : public File {
public:
    explicit BytesFile(std::shared_ptr<const std::vector<std::uint8_t>> bytes) : bytes_(std::move(bytes)) {}

    std::uint32_t Read(void* buffer, std::uint32_t count) override {
        const auto available = static_cast<std::uint64_t>(bytes_->size()) - position_;
        const auto taken = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, available));
        if (taken > 0) {
            std::memcpy(buffer, bytes_->data() + position_, taken);
        }
        position_ += taken;
        return taken;
    }
    std::uint32_t Write(const void*, std::uint32_t) override { return 0; }
    std::int64_t Size() override { return static_cast<std::int64_t>(bytes_->size()); }
    std::int64_t Tell() override { return static_cast<std::int64_t>(position_); }
    int Seek(std::int64_t position) override {
        if (position < 0 || static_cast<std::uint64_t>(position) > bytes_->size()) {
            return -1;
        }
        position_ = static_cast<std::uint64_t>(position);
        return 0;
    }
    bool Close() override { return true; }

private:
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
    std::uint64_t position_ = 0;
};

// Writes to a stream it doesn't own; Close flushes it and leaves it open.
class StreamOutput final : public File {
public:
    explicit StreamOutput(std::FILE* stream) : stream_(stream) {}

    std::uint32_t Read(void*, std::uint32_t) override { return 0; }
    std::uint32_t Write(const void* data, std::uint32_t count) override {
        return static_cast<std::uint32_t>(std::fwrite(data, 1, count, stream_));
    }
    std::int64_t Size() override { return -1; }
    std::int64_t Tell() override { return -1; }
    int Seek(std::int64_t) override { return -1; }
    bool Close() override { return std::fflush(stream_) == 0 && std::ferror(stream_) == 0; }

private:
    std::FILE* stream_;
};

}  // namespace

std::unique_ptr<File> StandardStreamFileSystem::Open(const std::string& path, OpenMode mode, Error& error) {
    if (path != "-") {
        return files_.Open(path, mode, error);
    }
    try {
        if ((static_cast<std::uint32_t>(mode) & static_cast<std::uint32_t>(OpenMode::Write)) != 0) {
            return std::make_unique<StreamOutput>(output_);
        }
        if (inputBytes_ == nullptr) {
            auto bytes = std::make_shared<std::vector<std::uint8_t>>();
            std::uint8_t block[65536];
            std::size_t got = 0;
            while ((got = std::fread(block, 1, sizeof block, input_)) > 0) {
                bytes->insert(bytes->end(), block, block + got);
            }
            if (std::ferror(input_) != 0) {
                error.Fail("standard input", "cannot read");
                return nullptr;
            }
            inputBytes_ = std::move(bytes);
        }
        return std::make_unique<BytesFile>(inputBytes_);
    } catch (const std::bad_alloc&) {
        error.Fail("standard input", "out of memory");
        return nullptr;
    }
}

std::unique_ptr<File> StandardStreamFileSystem::OpenOutput(const std::string& path, Error& error) {
    if (path != "-") {
        return files_.OpenOutput(path, error);
    }
    return Open(path, OpenMode::Write, error);
}

bool StandardStreamFileSystem::SameFile(const std::string& a, const std::string& b) {
    return a != "-" && b != "-" && files_.SameFile(a, b);
}

std::unique_ptr<File> OpenInput(FileSystem& fileSystem, const std::string& path, Error& error) {
    std::unique_ptr<File> file = fileSystem.Open(path, OpenMode::Read, error);
    if (file == nullptr) {
        return nullptr;
    }
    // Opening a directory for reading succeeds on some systems; reading it
    // then fails with no word of why.
    // (stat, not std::filesystem, which the WebAssembly build's library lacks.)
    struct stat status {};
    if (path != "-" && stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        error.Fail(path, "is a directory, not a file");
        return nullptr;
    }
    return file;
}

}  // namespace gridport
