// The folder tree through the C library, for WASI. Its hosts (the web
// page's shim above all) have no links among the folders a batch walks, so
// a folder's identity is its path with "." and ".." worked out.

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "batch/FolderTree.h"

namespace gridport::batch {

namespace {

Error CannotList(const std::string& folder, int error) {
    return Error::System(folder, "cannot list the folder", error);
}

// The path's parts, "." left out and each ".." taking the one before it.
std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace

Expected<bool> IsFolder(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return Error::System(path, "cannot open", errno);
    }
    return S_ISDIR(info.st_mode);
}

Expected<FolderItems> ListFolder(const std::string& folder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(folder.c_str()), closedir);
    if (listing == nullptr) {
        return CannotList(folder, errno);
    }
    FolderItems listed;
    errno = 0;
    while (const dirent* entry = readdir(listing.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            const Expected<bool> isFolder = IsFolder(folder + "/" + name);
            listed.items.push_back({name, isFolder && *isFolder});
        }
        errno = 0;
    }
    if (errno != 0) {
        listed.stopped = CannotList(folder, errno);
    }
    return listed;
}

Expected<std::string> FolderIdentity(const std::string& folder) {
    Expected<bool> isFolder = IsFolder(folder);
    if (!isFolder || !*isFolder) {
        return CannotList(folder, isFolder ? ENOTDIR : ENOENT);
    }
    return FutureFolderIdentity(folder);
}

std::string FutureFolderIdentity(const std::string& folder) {
    std::string identity = folder.starts_with('/') ? "/" : "";
    for (const std::string& part : Parts(folder)) {
        identity += identity.empty() || identity.back() == '/' ? part : "/" + part;
    }
    return identity.empty() ? "." : identity;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Expected<void> MakeFolders(const std::string& folder) {
    std::string made = folder.starts_with('/') ? "/" : "";
    for (const std::string& part : Parts(folder)) {
        made += made.empty() || made.back() == '/' ? part : "/" + part;
        if (mkdir(made.c_str(), 0777) != 0 && errno != EEXIST) {
            return Error::System(folder, "cannot make the folder", errno);
        }
    }
    return Success();
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace gridport::batch
