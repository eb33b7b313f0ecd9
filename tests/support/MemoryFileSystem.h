#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "filesystem/FileSystem.h"

namespace gridport::testing {

using Bytes = std::vector<std::uint8_t>;

// The operations a fault can be planned for.
enum class FileOperation { Open, Read, Write, Size, Tell, Seek, Close, Count };

// Counts calls of each operation over every file of one file system, and
// makes the n-th call of one chosen operation fail.
struct FaultPlan {
    std::array<int, static_cast<std::size_t>(FileOperation::Count)> calls{};
    FileOperation failing = FileOperation::Count;
    int failingCall = 0;

    // Counts the call; true when it is the one to fail.
    bool Fails(FileOperation operation) {
        const int call = ++calls[static_cast<std::size_t>(operation)];
        return operation == failing && call == failingCall;
    }
    int Calls(FileOperation operation) const { return calls[static_cast<std::size_t>(operation)]; }
};

// Files held in memory, keyed by their exact path, with the open rules of the
// stdio file system: exactly Read opens an existing file (names match
// exactly, so the exact-name check always holds), the Write bit creates or
// empties, the Read bit alone opens without a check, neither bit opens
// nothing.
class MemoryFileSystem : public FileSystem {
public:
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override;

    void Put(const std::string& path, Bytes bytes);
    bool Has(const std::string& path) const { return files_.count(path) != 0; }
    // The file's bytes; empty when there is no such file.
    Bytes Get(const std::string& path) const;
    // How many files are open right now.
    int OpenFiles() const { return *openFiles_; }
    // The n-th call (from 1) of the operation from now on fails; 0 fails none.
    void FailAt(FileOperation operation, int call) {
        *faults_ = FaultPlan{};
        faults_->failing = operation;
        faults_->failingCall = call;
    }
    int Calls(FileOperation operation) const { return faults_->Calls(operation); }

private:
    std::map<std::string, std::shared_ptr<Bytes>> files_;
    std::shared_ptr<int> openFiles_ = std::make_shared<int>(0);
    std::shared_ptr<FaultPlan> faults_ = std::make_shared<FaultPlan>();
};

// One open in-memory file. Writes past the end extend the file with zeros
// in between, as a seek past the end followed by a write does on disk.
class MemoryFile : public File {
public:
    MemoryFile(std::shared_ptr<Bytes> data, std::shared_ptr<int> openFiles, std::shared_ptr<FaultPlan> faults);
    ~MemoryFile() override;

    std::uint32_t Read(void* buffer, std::uint32_t count) override;
    std::uint32_t Write(const void* data, std::uint32_t count) override;
    std::int64_t Size() override;
    std::int64_t Tell() override;
    int Seek(std::int64_t position) override;
    bool Close() override;

private:
    std::shared_ptr<Bytes> data_;
    std::shared_ptr<int> openFiles_;
    std::shared_ptr<FaultPlan> faults_;
    std::int64_t position_ = 0;
    bool open_ = true;
};

}  // namespace gridport::testing
