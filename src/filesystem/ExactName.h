#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "base/Text.h"

namespace gridport {

// Succeeds when the directory part of path lists an entry spelt exactly like its file-name part, byte for byte. The cut
// is at the last backslash, or at the last forward slash when the path has no backslash. Otherwise the error says why:
// the name is listed only in another letter case, it is not listed at all, or the folder couldn't be listed.
Expected<void> CheckExactName(const char* path);

// The reason of a failed check, given the first entry that matched in another letter case (empty when none did) and the
// failure of the folder's listing, if it failed.
Error ExactNameMissing(const char* path, const char* otherCase, const std::optional<Error>& listError);

// The check in two steps, so that a folder's listing can serve many checks. Where path's file-name part starts (the cut
// as above), and its folder part as the check names it: everything before the cut, "" when there is none.
std::size_t ExactNameStart(std::string_view path);
// What the check lists for a path's folder (platform::ListFolder): the names in the system's order and, when the folder
// part couldn't be listed, why (the working folder's entries then stand in, as the check has always done). The same
// folder part gives the same listing, whatever the file name.
struct FolderEntries {
    std::vector<std::string> names;
    std::optional<Error> listError;
};
// Fails only when nothing at all could be listed, or (on Windows) when the path is too long for the check; the error
// then is the check's.
Expected<FolderEntries> ListFolderOf(const char* path);

}  // namespace gridport
