#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "filesystem/ExactName.h"
#include "filesystem/PlatformFiles.h"

namespace gridport {

namespace {

// The path limit of the directory calls used here.
constexpr std::size_t kPathBuffer = 260;

}  // namespace

Expected<void> CheckExactName(const char* path) {
    // Paths that don't fit the platform's 260-byte limit fail cleanly.
    const std::size_t length = std::strlen(path);
    if (length >= kPathBuffer) {
        return Error(path, "the path is longer than the " + std::to_string(kPathBuffer - 1) + " characters the folder check takes");
    }
    const std::string whole(path);
    std::size_t cut = whole.rfind('\\');
    if (cut == std::string::npos) {
        cut = whole.rfind('/');
    }
    const char* name = cut == std::string::npos ? path : path + cut + 1;
    // The folder is listed by a pattern, so the process's working folder
    // never changes. A folder part that can't be listed (an empty one, as in
    // "\town.map", included) leaves the working folder to be listed.
    int listError = 0;
    WIN32_FIND_DATAA found;
    HANDLE listing = INVALID_HANDLE_VALUE;
    if (cut != std::string::npos) {
        listing = cut == 0 ? INVALID_HANDLE_VALUE : FindFirstFileA((whole.substr(0, cut) + "\\*").c_str(), &found);
        if (listing == INVALID_HANDLE_VALUE) {
            listError = cut == 0 ? ENOENT : platform::ErrnoFromLastError();
        }
    }
    if (listing == INVALID_HANDLE_VALUE) {
        listing = FindFirstFileA("*", &found);
    }
    if (listing == INVALID_HANDLE_VALUE) {
        return ExactNameMissing(path, "", listError == 0 ? platform::ErrnoFromLastError() : listError);
    }
    std::string otherCase;
    bool equal = false;
    do {
        if (std::strcmp(found.cFileName, name) == 0) {
            equal = true;
            break;
        }
        if (otherCase.empty() && SameIgnoringCase(found.cFileName, name)) {
            otherCase = found.cFileName;
        }
    } while (FindNextFileA(listing, &found));
    FindClose(listing);
    if (equal) {
        return Success();
    }
    return ExactNameMissing(path, otherCase.c_str(), listError);
}

// The same listing as above, kept whole for FolderCache.
Expected<FolderEntries> ListFolderOf(const char* path) {
    if (std::strlen(path) >= kPathBuffer) {
        return Error(path, "the path is longer than the " + std::to_string(kPathBuffer - 1) + " characters the folder check takes");
    }
    const std::string whole(path);
    const std::size_t start = ExactNameStart(whole);
    FolderEntries entries;
    WIN32_FIND_DATAA found;
    HANDLE listing = INVALID_HANDLE_VALUE;
    if (start != 0) {
        listing = start == 1 ? INVALID_HANDLE_VALUE : FindFirstFileA((whole.substr(0, start - 1) + "\\*").c_str(), &found);
        if (listing == INVALID_HANDLE_VALUE) {
            entries.listError = start == 1 ? ENOENT : platform::ErrnoFromLastError();
        }
    }
    if (listing == INVALID_HANDLE_VALUE) {
        listing = FindFirstFileA("*", &found);
    }
    if (listing == INVALID_HANDLE_VALUE) {
        return ExactNameMissing(path, "", entries.listError == 0 ? platform::ErrnoFromLastError() : entries.listError);
    }
    // Closed however the walk ends, an allocation that fails included.
    const std::unique_ptr<void, decltype(&FindClose)> closer(listing, &FindClose);
    do {
        entries.names.emplace_back(found.cFileName);
    } while (FindNextFileA(listing, &found));
    return entries;
}

}  // namespace gridport
