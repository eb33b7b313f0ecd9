#pragma once

#include "filesystem/Error.h"

namespace gridport {

// True when the directory part of path lists an entry spelt exactly like its
// file-name part, byte for byte. The cut is at the last backslash, or at the
// last forward slash when the path has no backslash. The process's current
// directory is the same afterwards as before. When the check fails, error
// says why: the name is listed only in another letter case, it is not
// listed at all, or the folder couldn't be listed.
bool ExactNameExists(const char* path, Error& error);

inline bool ExactNameExists(const char* path) {
    Error ignored;
    return ExactNameExists(path, ignored);
}

// Shared by the platforms' checks: whether two names differ only in the
// letter case of ASCII letters, and the reason of a failed check, given the
// first entry that matched in another letter case (empty when none did) and
// the error of a listing that couldn't be made (0 when it could). Returns
// false.
bool SameNameIgnoringCase(const char* a, const char* b);
bool ExactNameMissing(const char* path, const char* otherCase, int listError, Error& error);

}  // namespace gridport
