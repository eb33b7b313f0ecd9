#include "view/StandardStreams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "filesystem/PlatformFiles.h"

namespace gridport {

namespace {

// A stream this program doesn't own: standard input or output.
class StreamFile final : public OutputFile {
public:
    explicit StreamFile(std::FILE* stream) : stream_(stream) {}

    std::uint32_t Read(void* buffer, std::uint32_t count) override {
        return static_cast<std::uint32_t>(std::fread(buffer, 1, count, stream_));
    }
    std::uint32_t Write(const void* data, std::uint32_t count) override {
        return static_cast<std::uint32_t>(std::fwrite(data, 1, count, stream_));
    }
    // A pipe tells neither: its reader takes it as a stream of unknown size.
    std::int64_t Size() override {
        const std::int64_t here = Tell();
        if (here < 0 || platform::SeekStream(stream_, 0, SEEK_END) != 0) {
            return -1;
        }
        const std::int64_t end = Tell();
        return platform::SeekStream(stream_, here, SEEK_SET) == 0 ? end : -1;
    }
    std::int64_t Tell() override { return platform::TellStream(stream_); }
    int Seek(std::int64_t position) override { return platform::SeekStream(stream_, position, SEEK_SET); }
    Expected<void> Commit() override {
        if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) {
            return Error("standard output", "cannot write");
        }
        return Success();
    }

private:
    std::FILE* stream_;
};

// Bytes read from a stream to its end, read-only.
class BytesFile final : public File {
public:
    explicit BytesFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint32_t Read(void* buffer, std::uint32_t count) override {
        const auto taken = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, bytes_.size() - position_));
        std::memcpy(buffer, bytes_.data() + position_, taken);
        position_ += taken;
        return taken;
    }
    std::uint32_t Write(const void*, std::uint32_t) override { return 0; }
    std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
    std::int64_t Tell() override { return static_cast<std::int64_t>(position_); }
    int Seek(std::int64_t position) override {
        if (position < 0 || static_cast<std::uint64_t>(position) > bytes_.size()) {
            return -1;
        }
        position_ = static_cast<std::size_t>(position);
        return 0;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace

Expected<std::unique_ptr<File>> StandardStreamFileSystem::Open(const std::string& path, OpenMode mode) {
    if (path != "-") {
        return files_.Open(path, mode);
    }
    const bool write = (static_cast<std::uint32_t>(mode) & static_cast<std::uint32_t>(OpenMode::Write)) != 0;
    return std::unique_ptr<File>(std::make_unique<StreamFile>(write ? output_ : input_));
}

Expected<std::unique_ptr<OutputFile>> StandardStreamFileSystem::OpenOutput(const std::string& path) {
    if (path != "-") {
        return files_.OpenOutput(path);
    }
    return std::unique_ptr<OutputFile>(std::make_unique<StreamFile>(output_));
}

bool StandardStreamFileSystem::SameFile(const std::string& a, const std::string& b) {
    return a != "-" && b != "-" && files_.SameFile(a, b);
}

Expected<std::unique_ptr<File>> OpenSeekable(const std::string& path, FileSystem& fileSystem, std::uint64_t most) {
    Expected<std::unique_ptr<File>> file = fileSystem.Open(path, OpenMode::Read);
    if (!file || ((*file)->Tell() >= 0 && (*file)->Size() >= 0)) {
        return file;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    for (std::uint32_t got = 0; (got = (*file)->Read(block, sizeof block)) > 0;) {
        if (bytes.size() + got > most) {
            return Error(path, "a stream of more than " + std::to_string(most >> 20) +
                                   " MiB can't be kept to be read again; name the file instead");
        }
        bytes.insert(bytes.end(), block, block + got);
    }
    return std::unique_ptr<File>(std::make_unique<BytesFile>(std::move(bytes)));
}

}  // namespace gridport
