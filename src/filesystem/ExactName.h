#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "base/Text.h"

namespace gridport {

// Succeeds when path's folder lists an entry spelt byte for byte like its file name (cut at the last backslash, else
// the last slash). Otherwise the error says why: listed only in another case, not listed, or the folder unlistable.
Expected<void> CheckExactName(const char* path);

// The reason of a failed check, given the first entry matching in another case (empty if none) and any listing failure.
Error ExactNameMissing(const char* path, const char* otherCase, const std::optional<Error>& listError);

// The check in two steps, so that a folder's listing can serve many checks. Where path's file-name part starts (the cut
// as above), and its folder part as the check names it: everything before the cut, "" when there is none.
std::size_t ExactNameStart(std::string_view path);
// What the check lists for a path's folder: names in system order and, if unlistable, why (working folder stands in).
struct FolderEntries {
    std::vector<std::string> names;
    std::optional<Error> listError;
};
// Fails only when nothing could be listed, or (on Windows) when the path is too long for the check.
Expected<FolderEntries> ListFolderOf(const char* path);

}  // namespace gridport
