#pragma once

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "filesystem/FileSystem.h"

namespace gridport::test {

using Bytes = std::vector<std::uint8_t>;

// The operations a fault can be planned for. CreateTemporary and Rename are
// the steps of a replacing output beside the writes and the Close.
enum class FileOperation { Open, Read, Write, Size, Tell, Seek, Close, CreateTemporary, Rename, Count };

// Counts calls of each operation over every file of one file system, and
// makes the n-th call of one chosen operation fail.
struct FaultPlan {
    std::array<int, static_cast<std::size_t>(FileOperation::Count)> calls{};
    FileOperation failing = FileOperation::Count;
    int failingCall = 0;
    int cause = EIO;  // The errno value the failing call gives.

    // Counts the call; true when it is the one to fail.
    bool Fails(FileOperation operation) {
        const int call = ++calls[static_cast<std::size_t>(operation)];
        return operation == failing && call == failingCall;
    }
    int Calls(FileOperation operation) const { return calls[static_cast<std::size_t>(operation)]; }
};

// One file's contents and kind; several paths share it when it has hard links.
struct MemoryNode {
    Bytes bytes;
    std::uint32_t mode = 0644;
    // Anything but Regular (a device, a FIFO) takes writes in place and is
    // never replaced, nor opened for reading.
    FileKind kind = FileKind::Regular;
    // When it was last written, on the file system's own clock.
    std::uint64_t modified = 0;
};

// Everything a file system holds, shared with its open files.
struct MemoryState {
    std::map<std::string, std::shared_ptr<MemoryNode>> files;
    // Symbolic links: the path of the link and the path it leads to.
    std::map<std::string, std::string> links;
    // Folders made on purpose; a folder is there too when a path below it is.
    std::set<std::string> folders;
    // Folders whose listing fails, as one this user may not read.
    std::set<std::string> unlistable;
    // Counts writes: each file written gets the next tick.
    std::uint64_t clock = 0;
    int openFiles = 0;
    FaultPlan faults;
    std::uint32_t umask = 022;
    int temporaries = 0;

    // The path that the links in path lead to, folders on the way included;
    // path itself when it holds no link.
    std::string Resolve(const std::string& path) const;
    // Whether a folder is at the resolved path.
    bool IsFolder(const std::string& resolved) const;
};

// Files held in memory, keyed by their exact path ('/'-separated), with the
// open rules of the stdio file system: exactly Read opens an existing file
// (names match exactly, so the exact-name check always holds), the Write
// bit creates or empties, the Read bit alone opens without a check, neither
// bit opens nothing; only a regular file opens for reading. Replacing
// outputs write to ".NAME.gridport-N" beside the target and rename it over
// the target on Close. Folders list their entries in reverse order of name,
// so that a caller that needs them sorted must sort them.
class MemoryFileSystem : public FileSystem {
public:
    Expected<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
    Expected<std::unique_ptr<OutputFile>> OpenOutput(const std::string& path) override;
    bool SameFile(const std::string& a, const std::string& b) override;
    Expected<FileStatus> Status(const std::string& path) override;
    Expected<std::vector<FolderEntry>> List(const std::string& folder) override;
    Expected<std::string> Identity(const std::string& path) override;
    Expected<void> MakeFolders(const std::string& folder) override;

    void Put(const std::string& path, Bytes bytes);
    // A device at path: writes go to it in place.
    void PutDevice(const std::string& path, FileKind kind = FileKind::Device);
    // An empty folder at path.
    void PutFolder(const std::string& path) { state_->folders.insert(path); }
    // The folder at path can't be listed.
    void DenyListing(const std::string& path) { state_->unlistable.insert(path); }
    // A second name for the file at existing.
    void Link(const std::string& existing, const std::string& path);
    // A symbolic link at path that leads to target.
    void Symlink(const std::string& target, const std::string& path) { state_->links[path] = target; }
    void SetMode(const std::string& path, std::uint32_t mode);
    // The permission bits of the file at path; 0 when there is none.
    std::uint32_t Mode(const std::string& path) const;
    void SetUmask(std::uint32_t umask) { state_->umask = umask; }

    bool Has(const std::string& path) const { return state_->files.count(state_->Resolve(path)) != 0; }
    // The file's bytes; empty when there is no such file.
    Bytes Get(const std::string& path) const;
    // Every file's path (links not included), in order.
    std::vector<std::string> Paths() const;
    // How many files are open right now.
    int OpenFiles() const { return state_->openFiles; }
    // The n-th call (from 1) of the operation from now on fails, with errno value cause; 0 fails none.
    void FailAt(FileOperation operation, int call, int cause = EIO) {
        state_->faults = FaultPlan{};
        state_->faults.failing = operation;
        state_->faults.failingCall = call;
        state_->faults.cause = cause;
    }
    int Calls(FileOperation operation) const { return state_->faults.Calls(operation); }

private:
    std::shared_ptr<MemoryState> state_ = std::make_shared<MemoryState>();
};

// What makes an open file a replacing output: the path as the caller gave
// it (for reasons), the file it replaces and its temporary file (empty when
// it writes in place). A file opened to be read has only its name.
struct MemoryOutput {
    std::string name;
    std::string target;
    std::string temporary;
};

// One open in-memory file. Writes past the end extend the file with zeros
// in between, as a seek past the end followed by a write does on disk. An
// output keeps its first failed write for Commit.
class MemoryFile : public OutputFile {
public:
    MemoryFile(std::shared_ptr<MemoryState> state, std::shared_ptr<MemoryNode> node, MemoryOutput output = {});
    ~MemoryFile() override;

    Expected<std::size_t> Read(void* buffer, std::size_t count) override;
    Expected<void> Write(const void* data, std::size_t count) override;
    Expected<std::uint64_t> Size() override;
    Expected<std::uint64_t> Tell() override;
    Expected<void> Seek(std::uint64_t position) override;
    Expected<void> Commit() override;

private:
    // Keeps the first reason of an output file.
    void Fail(const std::string& what, int errnoValue);
    void Discard();

    std::shared_ptr<MemoryState> state_;
    std::shared_ptr<MemoryNode> node_;
    MemoryOutput output_;
    std::uint64_t position_ = 0;
    bool open_ = true;
    std::optional<Error> failure_;
};

// A stream that tells neither its size nor its position and can't seek, as
// a pipe: its bytes, then its end.
class PipeFile final : public File {
public:
    explicit PipeFile(Bytes bytes) : bytes_(std::move(bytes)) {}
    Expected<std::size_t> Read(void* buffer, std::size_t count) override {
        const std::size_t taken = std::min(count, bytes_.size() - at_);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), taken, static_cast<std::uint8_t*>(buffer));
        at_ += taken;
        return taken;
    }
    Expected<void> Write(const void*, std::size_t) override { return Error::System("-", "cannot write", EBADF); }
    Expected<std::uint64_t> Size() override { return Error::System("-", "cannot seek", ESPIPE); }
    Expected<std::uint64_t> Tell() override { return Error::System("-", "cannot tell the position", ESPIPE); }
    Expected<void> Seek(std::uint64_t) override { return Error::System("-", "cannot seek", ESPIPE); }

private:
    Bytes bytes_;
    std::size_t at_ = 0;
};

// Bytes read as the file at path, through a reader of their own: what
// read(reader) gives.
template <typename Read>
auto ReadInMemory(const std::string& path, const Bytes& bytes, Read read) {
    MemoryFileSystem files;
    files.Put(path, bytes);
    const auto file = std::move(*files.Open(path, OpenMode::Read));
    BufferedReader in(*file, path);
    return read(in);
}

}  // namespace gridport::test
