#include "view/StandardStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "filesystem/PlatformFiles.h"
#include "filesystem/StdioFile.h"

namespace gridport {

namespace {

class StreamFile final : public OutputFile {  // standard input or output, which this program doesn't own
public:
    StreamFile(std::FILE* stream, std::string name) : stream_(stream), name_(std::move(name)) {}

    Expected<std::size_t> Read(void* buffer, std::size_t count) override {
        return StreamRead(stream_, name_, buffer, count);
    }
    Expected<void> Write(const void* data, std::size_t count) override {
        return StreamWrite(stream_, name_, data, count);
    }
    // A pipe tells neither: its reader takes it as a stream of unknown size.
    Expected<std::uint64_t> Size() override { return StreamSize(stream_, name_); }
    Expected<std::uint64_t> Tell() override { return StreamTell(stream_, name_); }
    Expected<void> Seek(std::uint64_t position) override { return StreamSeek(stream_, name_, position); }
    Expected<void> Commit() override {
        if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) {
            return Error("standard output", "cannot write");
        }
        return Success();
    }

private:
    std::FILE* stream_;
    std::string name_;
};

class BytesFile final : public File {  // bytes read from a stream to its end, read-only
public:
    BytesFile(std::vector<std::uint8_t> bytes, std::string path) : bytes_(std::move(bytes)), path_(std::move(path)) {}

    Expected<std::size_t> Read(void* buffer, std::size_t count) override {
        const std::size_t taken = std::min(count, bytes_.size() - position_);
        std::memcpy(buffer, bytes_.data() + position_, taken);
        position_ += taken;
        return taken;
    }
    Expected<void> Write(const void*, std::size_t) override { return Error::System(path_, "cannot write", EBADF); }
    Expected<std::uint64_t> Size() override { return std::uint64_t{bytes_.size()}; }
    Expected<std::uint64_t> Tell() override { return std::uint64_t{position_}; }
    Expected<void> Seek(std::uint64_t position) override {
        if (position > bytes_.size()) {
            return Error::System(path_, "cannot seek", EINVAL);
        }
        position_ = static_cast<std::size_t>(position);
        return Success();
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::string path_;
    std::size_t position_ = 0;
};

}  // namespace

Expected<std::unique_ptr<File>> StandardStreamFileSystem::Open(const std::string& path, OpenMode mode) {
    if (path != "-") {
        return files_.Open(path, mode);
    }
    const bool write = (static_cast<std::uint32_t>(mode) & static_cast<std::uint32_t>(OpenMode::Write)) != 0;
    return std::unique_ptr<File>(
        std::make_unique<StreamFile>(write ? output_ : input_, write ? "standard output" : "standard input"));
}

Expected<std::unique_ptr<OutputFile>> StandardStreamFileSystem::OpenOutput(const std::string& path) {
    if (path != "-") {
        return files_.OpenOutput(path);
    }
    return std::unique_ptr<OutputFile>(std::make_unique<StreamFile>(output_, "standard output"));
}

bool StandardStreamFileSystem::SameFile(const std::string& a, const std::string& b) {
    if (a != "-" && b != "-") {
        return files_.SameFile(a, b);
    }
    // Nothing there yet, or a stream the system can't tell of (a pipe's is no file's), is no input.
    const auto identity = [this](const std::string& path, std::FILE* stream) {
        return path == "-" ? platform::StreamIdentity(stream) : files_.Identity(path);
    };
    const Expected<std::string> written = identity(a, output_);
    const Expected<std::string> read = identity(b, input_);
    return written && read && *written == *read;
}

Expected<std::unique_ptr<File>> OpenSeekable(const std::string& path, FileSystem& fileSystem, std::uint64_t most) {
    Expected<std::unique_ptr<File>> file = fileSystem.Open(path, OpenMode::Read);
    if (!file || ((*file)->Tell() && (*file)->Size())) {
        return file;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    for (;;) {
        const Expected<std::size_t> got = (*file)->Read(block, sizeof block);
        if (!got) {
            return got.error();
        }
        if (*got == 0) {
            break;
        }
        if (bytes.size() + *got > most) {
            return Error(path, "a stream of more than " + std::to_string(most >> 20) +
                                   " MiB can't be kept to be read again; name the file instead");
        }
        bytes.insert(bytes.end(), block, block + *got);
    }
    return std::unique_ptr<File>(std::make_unique<BytesFile>(std::move(bytes), path));
}

}  // namespace gridport
