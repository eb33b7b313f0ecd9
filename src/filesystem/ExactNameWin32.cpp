#ifdef _WIN32

#include <windows.h>

#include <cstring>

#include "filesystem/ExactName.h"

namespace gridport {

namespace {

constexpr DWORD kPathBuffer = 260;

}  // namespace

bool ExactNameExists(const char* path) {
    char saved[kPathBuffer];
    const DWORD savedLength = GetCurrentDirectoryA(kPathBuffer, saved);
    if (savedLength == 0 || savedLength >= kPathBuffer) {
        return false;
    }
    // Paths that don't fit the platform's 260-byte limit fail cleanly.
    const std::size_t length = std::strlen(path);
    if (length >= kPathBuffer) {
        return false;
    }
    char work[kPathBuffer];
    std::memcpy(work, path, length + 1);

    char* cut = std::strrchr(work, '\\');
    if (cut == nullptr) {
        cut = std::strrchr(work, '/');
    }
    const char* name = work;
    if (cut != nullptr) {
        *cut = '\0';
        name = cut + 1;
        // When the directory can't be entered, the listing is of the
        // directory that is still current.
        SetCurrentDirectoryA(work);
    }

    WIN32_FIND_DATAA found;
    const HANDLE listing = FindFirstFileA("*", &found);
    if (listing == INVALID_HANDLE_VALUE) {
        SetCurrentDirectoryA(saved);
        return false;
    }
    bool equal = false;
    do {
        if (std::strcmp(found.cFileName, name) == 0) {
            equal = true;
            break;
        }
    } while (FindNextFileA(listing, &found));
    FindClose(listing);
    SetCurrentDirectoryA(saved);
    return equal;
}

}  // namespace gridport

#endif
