#pragma once

#include <cstdio>

#include "filesystem/File.h"

namespace gridport {

// A File on a C library stream, which it owns and closes.
class StdioFile final : public File {
public:
    explicit StdioFile(std::FILE* stream) noexcept : stream_(stream) {}
    ~StdioFile() override;

    // Takes over a stream when the File holds none (it was made with null,
    // or it was closed).
    void Attach(std::FILE* stream) noexcept {
        if (stream_ == nullptr) {
            stream_ = stream;
        }
    }

    std::uint32_t Read(void* buffer, std::uint32_t count) override;
    std::uint32_t Write(const void* data, std::uint32_t count) override;
    std::int64_t Size() override;
    std::int64_t Tell() override;
    int Seek(std::int64_t position) override;
    // Pushes out what is buffered and closes the stream; false when either
    // fails (a write error the platform held back shows here).
    bool Close();

    // The stream, or null once the File is closed.
    std::FILE* Stream() const noexcept { return stream_; }

private:
    std::FILE* stream_;
};

}  // namespace gridport
