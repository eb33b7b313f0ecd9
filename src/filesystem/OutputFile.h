#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "filesystem/Error.h"
#include "filesystem/StdioFile.h"

namespace gridport {

// The File that StdioFileSystem::OpenOutput gives: a stream on a temporary
// file that Close renames over the target, or, for a target that is no
// regular file, a stream on the target itself. Failed writes, the flush, the
// close and the rename record their reasons in the error given at the open,
// under the path as the caller gave it. Destroying it before a successful
// Close removes the temporary file.
class OutputFile final : public File {
public:
    // name is the path as given, target the file that is replaced.
    OutputFile(std::string name, std::string target, Error& error);
    ~OutputFile() override;

    // Takes over the open stream and the temporary file's path (empty when
    // the stream writes to the target in place). Allocates nothing.
    void Attach(std::FILE* stream, std::string temporary) noexcept;

    std::uint32_t Read(void* buffer, std::uint32_t count) override;
    std::uint32_t Write(const void* data, std::uint32_t count) override;
    std::int64_t Size() override { return stream_.Size(); }
    std::int64_t Tell() override { return stream_.Tell(); }
    int Seek(std::int64_t position) override { return stream_.Seek(position); }
    bool Close() override;

private:
    void Discard() noexcept;

    std::string name_;
    std::string target_;
    std::string temporary_;
    Error& error_;
    StdioFile stream_{nullptr};
    // Bytes written so far, and how many of them are already on their way
    // to the disk.
    std::uint64_t written_ = 0;
    std::uint64_t sent_ = 0;
};

}  // namespace gridport
