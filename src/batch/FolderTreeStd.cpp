#include <cerrno>
#include <filesystem>
#include <system_error>

#include "batch/FolderTree.h"

namespace gridport::batch {

namespace fs = std::filesystem;

namespace {

Error CannotList(const std::string& folder, const std::error_code& error) {
    return Error::System(folder, "cannot list the folder", error.value());
}

}  // namespace

Expected<bool> IsFolder(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(path), error);
    if (error || !fs::exists(status)) {
        return Error::System(path, "cannot open", error ? error.value() : ENOENT);
    }
    return fs::is_directory(status);
}

Expected<FolderItems> ListFolder(const std::string& folder) {
    std::error_code error;
    fs::directory_iterator entries(fs::path(folder), error);
    if (error) {
        return CannotList(folder, error);
    }
    FolderItems listed;
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        const fs::directory_entry& entry = *entries;
        std::error_code statusError;
        const bool isFolder = entry.is_directory(statusError);
        listed.items.push_back({entry.path().filename().string(), isFolder});
    }
    if (error) {
        listed.stopped = CannotList(folder, error);
    }
    return listed;
}

Expected<std::string> FolderIdentity(const std::string& folder) {
    std::error_code error;
    const fs::path canonical = fs::canonical(fs::path(folder), error);
    if (error) {
        return CannotList(folder, error);
    }
    return canonical.string();
}

std::string FutureFolderIdentity(const std::string& folder) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(fs::path(folder), error);
    return error ? std::string() : canonical.string();
}

// The name's form for joining: the system's own names as bytes.
std::string FileNameOf(const std::string& path) {
    return fs::path(path).filename().string();
}

Expected<void> MakeFolders(const std::string& folder) {
    std::error_code error;
    fs::create_directories(fs::path(folder), error);
    if (error) {
        return Error::System(folder, "cannot make the folder", error.value());
    }
    return Success();
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(fs::path(path), error);
    if (error) {
        return std::nullopt;
    }
    return size;
}

}  // namespace gridport::batch
