#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"

// What the batch asks of the file system besides opening files: whether a
// path is a folder, folders' entries and identities, making folders, a
// file's size. FolderTreeStd.cpp does it with std::filesystem, and
// FolderTreeWasi.cpp with the C library, for WASI, whose C++ library has no
// std::filesystem.

namespace gridport::batch {

// Whether path is a folder, links followed; fails ("cannot open") when
// there is nothing at path or it can't be looked at.
Expected<bool> IsFolder(const std::string& path);

struct FolderItem {
    std::string name;
    bool folder = false;  // links followed
};
// A folder's entries in the system's order; when the listing stopped
// partway, those listed until then and why it stopped.
struct FolderItems {
    std::vector<FolderItem> items;
    std::optional<Error> stopped;
};
// Fails ("cannot list the folder") when the folder can't be listed at all.
Expected<FolderItems> ListFolder(const std::string& folder);

// The same text for every path to one folder (links, "." and ".."
// resolved); fails as ListFolder does.
Expected<std::string> FolderIdentity(const std::string& folder);
// The identity a folder has, or would have once made; empty when none can
// be had.
std::string FutureFolderIdentity(const std::string& folder);

// The last part of path.
std::string FileNameOf(const std::string& path);

// Makes folder and those above it that are missing.
Expected<void> MakeFolders(const std::string& folder);

// The size of the file at path, none when it can't be looked at.
std::optional<std::uint64_t> FileSize(const std::string& path);

}  // namespace gridport::batch
