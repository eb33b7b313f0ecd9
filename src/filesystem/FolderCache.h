#pragma once

// A batch opens thousands of files in a few folders: each folder is listed once and kept, indexed case-insensitively,
// for the exact-name check and case-insensitive lookups. Valid while the cache lives: a batch writes no file it reads.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "filesystem/ExactName.h"
#include "filesystem/FileSystem.h"
#include "base/Threads.h"

namespace gridport {

// One folder's listing as the exact-name check makes it.
class FolderListing {
public:
    explicit FolderListing(FolderEntries entries);

    // The entries spelt like name up to letter case, in listing order.
    std::vector<std::string_view> Matches(std::string_view name) const;
    // Whether the folder itself was listed (otherwise the working folder stood in for it).
    bool Listed() const { return !entries_.listError; }
    Expected<void> Check(const char* path) const;  // CheckExactName's verdict on path, whose folder this is.

private:
    FolderEntries entries_;
    // Lower-case name to the indices of its entries, in listing order.
    std::unordered_map<std::string, std::vector<std::size_t>> byKey_;
};

// The listings of the folders asked about so far; safe to share between threads.
class FolderCache {
public:
    // The listing of path's folder part (CheckExactName's cut), made on first use and kept unless it failed.
    Expected<const FolderListing*> ListingOf(const std::string& path);

private:
    Mutex mutex_;
    std::unordered_map<std::string, std::unique_ptr<FolderListing>> folders_;
};

// A file system whose exact-name check reads the cache; all else is the base's, same results on static folders.
class CachedNameFileSystem final : public FileSystem {
public:
    CachedNameFileSystem(FileSystem& base, FolderCache& cache) : base_(base), cache_(cache) {}

    Expected<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
    Expected<std::unique_ptr<OutputFile>> OpenOutput(const std::string& path) override {
        return base_.OpenOutput(path);
    }
    bool SameFile(const std::string& a, const std::string& b) override { return base_.SameFile(a, b); }
    Expected<FileStatus> Status(const std::string& path) override { return base_.Status(path); }
    Expected<std::vector<FolderEntry>> List(const std::string& folder) override { return base_.List(folder); }
    Expected<std::string> Identity(const std::string& path) override { return base_.Identity(path); }
    Expected<void> MakeFolders(const std::string& folder) override { return base_.MakeFolders(folder); }

private:
    FileSystem& base_;
    FolderCache& cache_;
};

}  // namespace gridport
