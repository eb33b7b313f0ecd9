#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "filesystem/StdioFile.h"

namespace gridport {

// The output that StdioFileSystem::OpenOutput gives: a stream on a temporary
// file that Commit renames over the target, or, for a target that is no
// regular file, a stream on the target itself. Reasons name the path as the
// caller gave it. Destroying it before a successful Commit removes the
// temporary file.
class StdioOutputFile final : public OutputFile {
public:
    // name is the path as given, target the file that is replaced.
    StdioOutputFile(std::string name, std::string target) : name_(std::move(name)), target_(std::move(target)) {}
    ~StdioOutputFile() override;

    // Takes over the open stream and the temporary file's path (empty when
    // the stream writes to the target in place). Allocates nothing.
    void Attach(std::FILE* stream, std::string temporary) noexcept {
        stream_.Attach(stream);
        temporary_ = std::move(temporary);
    }

    std::uint32_t Read(void* buffer, std::uint32_t count) override { return stream_.Read(buffer, count); }
    std::uint32_t Write(const void* data, std::uint32_t count) override;
    std::int64_t Size() override { return stream_.Size(); }
    std::int64_t Tell() override { return stream_.Tell(); }
    int Seek(std::int64_t position) override { return stream_.Seek(position); }
    Expected<void> Commit() override;

private:
    void Discard() noexcept;

    std::string name_;
    std::string target_;
    std::string temporary_;
    StdioFile stream_{nullptr};
    // The first write that fell short, with the system's reason.
    std::optional<int> writeError_;
    // Bytes written so far, and how many of them are already on their way
    // to the disk.
    std::uint64_t written_ = 0;
    std::uint64_t sent_ = 0;
};

}  // namespace gridport
