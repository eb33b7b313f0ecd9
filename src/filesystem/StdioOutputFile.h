#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "filesystem/StdioFile.h"
#include "base/TemporaryFiles.h"

namespace gridport {

// StdioFileSystem::OpenOutput's output; reasons name the path as given. Destroyed before a successful Commit, it
// removes the temporary file, leaving the target as it was. However the program ends (even SIGKILL), a renamed-over
// target is the old file or the new one; Commit doesn't fdatasync (1.3 to 2.7 times slower conversions), so a power
// loss can leave it empty or partial unless the file system writes data before a replacing rename (ext4, btrfs).
class StdioOutputFile final : public OutputFile {
public:
    enum class Way {  // how the bytes reach the target
        Direct,  // the stream is on the target itself: a device, a pipe
        // On a temporary file beside the target that Commit renames over it; a mounted target (EBUSY) gets InPlace.
        Rename,
        // On a temporary file (beside the target or in the system's temporary folder) that Commit copies into the
        // existing target once complete, so the target keeps its owner, group and hard links.
        InPlace,
    };

    // inPlaceAllowed: target is an existing regular file that may be written in place when a rename can't replace it.
    StdioOutputFile(std::string name, std::string target, bool inPlaceAllowed)
        : name_(std::move(name)), target_(std::move(target)), inPlaceAllowed_(inPlaceAllowed) {}
    ~StdioOutputFile() override;

    // Takes over the open stream and the temporary file's path (empty for Way::Direct); allocates nothing.
    void Attach(std::FILE* stream, std::string temporary, Way way) noexcept {
        stream_.Attach(stream);
        temporary_ = std::move(temporary);
        way_ = way;
    }
    TemporaryFileEntry& Entry() noexcept { return entry_; }  // temp file's entry in the registry signal handlers clear

    Expected<std::size_t> Read(void* buffer, std::size_t count) override { return stream_.Read(buffer, count); }
    Expected<void> Write(const void* data, std::size_t count) override;
    Expected<std::uint64_t> Size() override { return stream_.Size(); }
    Expected<std::uint64_t> Tell() override { return stream_.Tell(); }
    Expected<void> Seek(std::uint64_t position) override { return stream_.Seek(position); }
    Expected<void> Commit() override;

private:
    void Discard() noexcept;

    std::string name_;
    std::string target_;
    bool inPlaceAllowed_;
    std::string temporary_;
    Way way_ = Way::Direct;
    StdioFile stream_{nullptr, name_};
    TemporaryFileEntry entry_;
    std::optional<Error> writeError_;  // the first write that failed
    std::uint64_t written_ = 0;  // bytes written so far
    std::uint64_t sent_ = 0;     // of them, already on their way to the disk
};

}  // namespace gridport
