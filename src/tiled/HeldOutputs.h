#pragma once

// The export's three outputs, each written in full before any replaces its target: an output here keeps the first
// failed write, and takes a Commit (as the PNG writer gives it) as "written"; Commit them all with PutInPlace.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/FileSystem.h"

namespace gridport::tiled {

class HeldOutputs final : public FileSystem {
public:
    explicit HeldOutputs(FileSystem& files) : files_(files) {}

    // A held output: its Commit waits for PutInPlace.
    Expected<std::unique_ptr<OutputFile>> OpenOutput(const std::string& path) override;
    // The first failed write of any output, or Success once all are written.
    Expected<void> Written() const;
    // Commits the outputs in the order opened, up to the first failure.
    Expected<void> PutInPlace();

    Expected<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
        return files_.Open(path, mode);
    }
    bool SameFile(const std::string& a, const std::string& b) override { return files_.SameFile(a, b); }
    Expected<FileStatus> Status(const std::string& path) override { return files_.Status(path); }
    Expected<std::vector<FolderEntry>> List(const std::string& folder) override { return files_.List(folder); }
    Expected<std::string> Identity(const std::string& path) override { return files_.Identity(path); }
    Expected<void> MakeFolders(const std::string& folder) override { return files_.MakeFolders(folder); }

private:
    struct Held;
    class Proxy;

    FileSystem& files_;
    std::vector<std::shared_ptr<Held>> held_;  // kept past their callers' proxies, to PutInPlace
};

}  // namespace gridport::tiled
