#pragma once

#include <cstdio>
#include <string>

#include "filesystem/File.h"

namespace gridport {

// The File operations on a C library stream; reasons name path. A signal that only interrupted a read (a FIFO waiting
// for its writer) is read through; after a stop request the read is an Interrupted Error.
Expected<std::size_t> StreamRead(std::FILE* stream, const std::string& path, void* buffer, std::size_t count);
Expected<void> StreamWrite(std::FILE* stream, const std::string& path, const void* data, std::size_t count);
Expected<std::uint64_t> StreamSize(std::FILE* stream, const std::string& path);
Expected<std::uint64_t> StreamTell(std::FILE* stream, const std::string& path);
Expected<void> StreamSeek(std::FILE* stream, const std::string& path, std::uint64_t position);

// A File on a C library stream, which it owns and closes; reasons name the path it was opened with.
class StdioFile final : public File {
public:
    StdioFile(std::FILE* stream, std::string path) noexcept : stream_(stream), path_(std::move(path)) {}
    ~StdioFile() override;

    // Takes over a stream when the File holds none (made with null, or closed).
    void Attach(std::FILE* stream) noexcept {
        if (stream_ == nullptr) {
            stream_ = stream;
        }
    }

    Expected<std::size_t> Read(void* buffer, std::size_t count) override;
    Expected<void> Write(const void* data, std::size_t count) override;
    Expected<std::uint64_t> Size() override;
    Expected<std::uint64_t> Tell() override;
    Expected<void> Seek(std::uint64_t position) override;
    // Flushes and closes the stream; false when either fails (a write error the platform held back shows here).
    bool Close();

    std::FILE* Stream() const noexcept { return stream_; }  // null once closed

private:
    std::FILE* stream_;
    std::string path_;
};

}  // namespace gridport
