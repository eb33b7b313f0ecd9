#pragma once

#include "filesystem/FileSystem.h"

namespace gridport {

// Files through the C library. Exactly OpenMode::Read makes the exact-name check, so a case-insensitive file system
// can't hand over a differently spelt file. Outputs stage beside the target (".town.rmp.gridport-Ab12Cd"): one volume.
class StdioFileSystem final : public FileSystem {
public:
    Expected<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
    Expected<std::unique_ptr<OutputFile>> OpenOutput(const std::string& path) override;
    bool SameFile(const std::string& a, const std::string& b) override;
    Expected<FileStatus> Status(const std::string& path) override;
    Expected<std::vector<FolderEntry>> List(const std::string& folder) override;
    Expected<std::string> Identity(const std::string& path) override;
    Expected<void> MakeFolders(const std::string& folder) override;
};

}  // namespace gridport
