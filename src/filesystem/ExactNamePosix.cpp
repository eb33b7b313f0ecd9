#include <dirent.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "filesystem/ExactName.h"

namespace gridport {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

Expected<void> CheckExactName(const char* path) {
    const std::string_view whole(path);
    std::size_t cut = whole.rfind('\\');
    if (cut == std::string_view::npos) {
        cut = whole.rfind('/');
    }
    // The file-name part is the tail of the path, so it ends where the path does.
    const char* name = path;
    std::string directory = ".";
    if (cut != std::string_view::npos) {
        name = path + cut + 1;
        if (cut > 0) {
            directory.assign(path, cut);
        } else if (whole[0] == '/') {
            directory = "/";
        }
    }
    // A directory part that can't be listed leaves the current directory to
    // be listed, as entering it would have failed and left us where we were.
    int listError = 0;
    DIR* opened = opendir(directory.c_str());
    if (opened == nullptr) {
        listError = errno;
        if (directory != ".") {
            opened = opendir(".");
        }
    }
    if (opened == nullptr) {
        return ExactNameMissing(path, "", listError);
    }
    const std::unique_ptr<DIR, DirCloser> listing(opened);
    std::string otherCase;
    while (const dirent* entry = readdir(listing.get())) {
        if (std::strcmp(entry->d_name, name) == 0) {
            return Success();
        }
        if (otherCase.empty() && SameIgnoringCase(entry->d_name, name)) {
            otherCase = entry->d_name;
        }
    }
    return ExactNameMissing(path, otherCase.c_str(), listError);
}

// The same listing as above, kept whole for FolderCache.
Expected<FolderEntries> ListFolderOf(const char* path) {
    const std::string_view whole(path);
    const std::size_t start = ExactNameStart(whole);
    std::string directory = ".";
    if (start > 1) {
        directory.assign(path, start - 1);
    } else if (start == 1 && whole[0] == '/') {
        directory = "/";
    }
    FolderEntries entries;
    DIR* opened = opendir(directory.c_str());
    if (opened == nullptr) {
        entries.listError = errno;
        if (directory != ".") {
            opened = opendir(".");
        }
    }
    if (opened == nullptr) {
        return ExactNameMissing(path, "", entries.listError);
    }
    const std::unique_ptr<DIR, DirCloser> listing(opened);
    while (const dirent* entry = readdir(listing.get())) {
        entries.names.emplace_back(entry->d_name);
    }
    return entries;
}

}  // namespace gridport
