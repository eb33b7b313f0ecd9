#pragma once

#include <string_view>

#include "filesystem/Error.h"

namespace gridport {

// Succeeds when the directory part of path lists an entry spelt exactly like
// its file-name part, byte for byte. The cut is at the last backslash, or at
// the last forward slash when the path has no backslash. Otherwise the error
// says why: the name is listed only in another letter case, it is not listed
// at all, or the folder couldn't be listed.
Expected<void> CheckExactName(const char* path);

// The one comparison of names that ignores the letter case of ASCII letters
// (as Windows file names and the ".vsp" ending are compared).
bool SameIgnoringCase(std::string_view a, std::string_view b);

// Shared by the platforms' checks: the reason of a failed check, given the
// first entry that matched in another letter case (empty when none did) and
// the error of a listing that couldn't be made (0 when it could).
Error ExactNameMissing(const char* path, const char* otherCase, int listError);

}  // namespace gridport
