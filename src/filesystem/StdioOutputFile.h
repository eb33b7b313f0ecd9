#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "filesystem/StdioFile.h"
#include "base/TemporaryFiles.h"

namespace gridport {

// The output that StdioFileSystem::OpenOutput gives. Reasons name the path
// as the caller gave it. Destroying it before a successful Commit removes
// the temporary file, and leaves the target as it was.
//
// Whatever way the program ends (a failure, a signal, SIGKILL), a target
// replaced by a rename is the old file or the new one. A crash of the
// system itself is another matter: Commit doesn't wait for the new bytes to
// reach the disk (fdatasync before the rename made conversions 1.3 to 2.7
// times as slow), so after a power loss the target can be empty or hold
// only part of the new bytes, unless the file system writes a file's data
// before a rename that replaces another file with it (ext4's default
// auto_da_alloc, btrfs). An output is made again from its inputs.
class StdioOutputFile final : public OutputFile {
public:
    // How the bytes reach the target.
    enum class Way {
        // The stream is on the target itself: a device, a pipe.
        Direct,
        // The stream is on a temporary file beside the target, which Commit
        // renames over it. Where the rename can't be done because something
        // is mounted on the target (EBUSY), the target is written in place,
        // as with InPlace.
        Rename,
        // The stream is on a temporary file (beside the target, or in the
        // system's temporary folder), which Commit writes into the existing
        // target once all of it is there, so that the target keeps its
        // owner, its group and its hard links.
        InPlace,
    };

    // name is the path as given, target the file that is replaced.
    // inPlaceAllowed says that target is an existing regular file that may
    // be written in place when a rename can't replace it.
    StdioOutputFile(std::string name, std::string target, bool inPlaceAllowed)
        : name_(std::move(name)), target_(std::move(target)), inPlaceAllowed_(inPlaceAllowed) {}
    ~StdioOutputFile() override;

    // Takes over the open stream and the temporary file's path (empty for
    // Way::Direct). Allocates nothing.
    void Attach(std::FILE* stream, std::string temporary, Way way) noexcept {
        stream_.Attach(stream);
        temporary_ = std::move(temporary);
        way_ = way;
    }
    // The temporary file's entry in the registry that signal handlers clear.
    TemporaryFileEntry& Entry() noexcept { return entry_; }

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
    // The first write that failed.
    std::optional<Error> writeError_;
    // Bytes written so far, and how many of them are already on their way
    // to the disk.
    std::uint64_t written_ = 0;
    std::uint64_t sent_ = 0;
};

}  // namespace gridport
