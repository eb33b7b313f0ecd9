#include "filesystem/ExactName.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "filesystem/PlatformFiles.h"

namespace gridport {

Error ExactNameMissing(const char* path, const char* otherCase, const std::optional<Error>& listError) {
    if (*otherCase != '\0') {
        return Error(path, "the folder holds this name only in another letter case (\"" + std::string(otherCase) +
                               "\")");
    }
    if (listError) {
        // The system's words, after the listing's own ("cannot list the folder: ").
        const std::string& message = listError->Message();
        const std::size_t cut = message.find(": ");
        return Error(ErrorKind::System, path,
                     "cannot list its folder" + (cut == std::string::npos ? std::string() : message.substr(cut)));
    }
    return Error::System(path, "cannot open", ENOENT);
}

std::size_t ExactNameStart(std::string_view path) {
    std::size_t cut = path.rfind('\\');
    if (cut == std::string_view::npos) {
        cut = path.rfind('/');
    }
    return cut == std::string_view::npos ? 0 : cut + 1;
}

Expected<FolderEntries> ListFolderOf(const char* path) {
    const std::string_view whole(path);
    if (platform::kLongestCheckedPath != 0 && whole.size() > platform::kLongestCheckedPath) {
        return Error(path, "the path is longer than the " + std::to_string(platform::kLongestCheckedPath) +
                               " characters the folder check takes");
    }
    // The folder part: "" for the working folder, the root's separator for a path right under it.
    const std::size_t start = ExactNameStart(whole);
    const std::string folder(whole.substr(0, start > 1 ? start - 1 : start));
    FolderEntries entries;
    Expected<std::vector<FolderEntry>> listed =
        start == 1 && !platform::kChecksTheRoot ? Error::System(folder, "cannot list the folder", ENOENT)
                                                : platform::ListFolder(folder);
    if (!listed) {
        // A folder part that can't be listed leaves the working folder listed, as entering it would have failed.
        entries.listError = listed.error();
        if (folder.empty()) {
            return ExactNameMissing(path, "", entries.listError);
        }
        listed = platform::ListFolder("");
        if (!listed) {
            return ExactNameMissing(path, "", entries.listError);
        }
    }
    // Every folder holds its own "." and "..", which the listing leaves out.
    entries.names.reserve(listed->size() + 2);
    entries.names.emplace_back(".");
    entries.names.emplace_back("..");
    for (FolderEntry& entry : *listed) {
        entries.names.push_back(std::move(entry.name));
    }
    return entries;
}

Expected<void> CheckExactName(const char* path) {
    Expected<FolderEntries> entries = ListFolderOf(path);
    if (!entries) {
        return entries.error();
    }
    const char* name = path + ExactNameStart(path);
    const std::string* otherCase = nullptr;
    for (const std::string& entry : entries->names) {
        if (std::strcmp(entry.c_str(), name) == 0) {
            return Success();
        }
        if (otherCase == nullptr && SameIgnoringCase(entry, name)) {
            otherCase = &entry;
        }
    }
    return ExactNameMissing(path, otherCase != nullptr ? otherCase->c_str() : "", entries->listError);
}

}  // namespace gridport
