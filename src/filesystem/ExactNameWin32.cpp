#ifdef _WIN32

#include <windows.h>

#include <cstring>

#include "filesystem/ExactName.h"
#include "filesystem/PlatformFiles.h"

namespace gridport {

namespace {

// The path limit of the directory calls used here.
constexpr DWORD kPathBuffer = 260;

}  // namespace

bool ExactNameExists(const char* path, Error& error) {
    // The directory to come back to is kept in UTF-16: its 8-bit form is lossy
    // when a name in it lies outside the code page ("Ω" reads back as "O"), and
    // going back by that form would fail and leave the process elsewhere.
    wchar_t saved[kPathBuffer];
    const DWORD savedLength = GetCurrentDirectoryW(kPathBuffer, saved);
    if (savedLength == 0 || savedLength >= kPathBuffer) {
        return error.Fail(path, "the working folder's path is too long for the folder check");
    }
    // Paths that don't fit the platform's 260-byte limit fail cleanly.
    const std::size_t length = std::strlen(path);
    if (length >= kPathBuffer) {
        return error.Fail(path, "the path is longer than the 259 characters the folder check takes");
    }
    char work[kPathBuffer];
    std::memcpy(work, path, length + 1);

    char* cut = std::strrchr(work, '\\');
    if (cut == nullptr) {
        cut = std::strrchr(work, '/');
    }
    const char* name = work;
    int listError = 0;
    if (cut != nullptr) {
        *cut = '\0';
        name = cut + 1;
        // When the directory can't be entered, the listing is of the
        // directory that is still current.
        if (SetCurrentDirectoryA(work) == 0) {
            listError = platform::ErrnoFromLastError();
        }
    }

    bool equal = false;
    // Nothing that can throw runs while another directory is current.
    char otherCase[MAX_PATH] = "";
    WIN32_FIND_DATAA found;
    const HANDLE listing = FindFirstFileA("*", &found);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            if (std::strcmp(found.cFileName, name) == 0) {
                equal = true;
                break;
            }
            if (otherCase[0] == '\0' && SameNameIgnoringCase(found.cFileName, name)) {
                std::memcpy(otherCase, found.cFileName, sizeof otherCase);
            }
        } while (FindNextFileA(listing, &found));
        FindClose(listing);
    } else if (listError == 0) {
        listError = platform::ErrnoFromLastError();
    }
    // A process that can't get back must not go on to open a relative path
    // from the wrong directory, so a failed return fails the check.
    if (SetCurrentDirectoryW(saved) == 0) {
        return error.Fail(path, "cannot return to the working folder after the folder check");
    }
    return equal || ExactNameMissing(path, otherCase, listError, error);
}

}  // namespace gridport

#endif
