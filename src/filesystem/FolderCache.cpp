#include "filesystem/FolderCache.h"

#include <cstring>

namespace gridport {

FolderListing::FolderListing(FolderEntries entries) : entries_(std::move(entries)) {
    for (std::size_t i = 0; i < entries_.names.size(); ++i) {
        byKey_[LowerCaseKey(entries_.names[i])].push_back(i);
    }
}

std::vector<std::string_view> FolderListing::Matches(std::string_view name) const {
    std::vector<std::string_view> found;
    if (const auto it = byKey_.find(LowerCaseKey(name)); it != byKey_.end()) {
        for (const std::size_t i : it->second) {
            found.emplace_back(entries_.names[i]);
        }
    }
    return found;
}

Expected<void> FolderListing::Check(const char* path) const {
    const char* name = path + ExactNameStart(path);
    const auto it = byKey_.find(LowerCaseKey(name));
    if (it == byKey_.end()) {
        return ExactNameMissing(path, "", entries_.listError);
    }
    for (const std::size_t i : it->second) {
        if (std::strcmp(entries_.names[i].c_str(), name) == 0) {
            return Success();
        }
    }
    // The first entry in another letter case, as the check's own walk finds it.
    return ExactNameMissing(path, entries_.names[it->second.front()].c_str(), entries_.listError);
}

Expected<const FolderListing*> FolderCache::ListingOf(const std::string& path) {
    std::string folder = path.substr(0, ExactNameStart(path));
    {
        const MutexLock lock(mutex_);
        if (const auto it = folders_.find(folder); it != folders_.end()) {
            return it->second.get();
        }
    }
    // Listed outside the lock so other folders needn't wait; when two threads list one folder, the first listing stays.
    Expected<FolderEntries> entries = ListFolderOf(path.c_str());
    if (!entries) {
        return entries.error();
    }
    auto listing = std::make_unique<FolderListing>(std::move(*entries));
    const MutexLock lock(mutex_);
    const auto [it, added] = folders_.try_emplace(std::move(folder), std::move(listing));
    return it->second.get();
}

Expected<std::unique_ptr<File>> CachedNameFileSystem::Open(const std::string& path, OpenMode mode) {
    if (mode != OpenMode::Read) {
        return base_.Open(path, mode);
    }
    Expected<const FolderListing*> listing = cache_.ListingOf(path);
    if (!listing) {
        return listing.error();
    }
    if (Expected<void> exact = (*listing)->Check(path.c_str()); !exact) {
        return exact.error();
    }
    return base_.Open(path, OpenMode::ReadChecked);
}

}  // namespace gridport
