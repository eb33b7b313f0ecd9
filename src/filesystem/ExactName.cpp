#include "filesystem/ExactName.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace gridport {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&lower](char x, char y) { return lower(x) == lower(y); });
}

std::string LowerCaseKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

Error ExactNameMissing(const char* path, const char* otherCase, int listError) {
    if (*otherCase != '\0') {
        return Error(path, "the folder holds this name only in another letter case (\"" + std::string(otherCase) +
                               "\")");
    }
    if (listError != 0) {
        return Error::System(path, "cannot list its folder", listError);
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

Expected<void> CheckExactNameIn(const char* path, const FolderEntries& entries) {
    const char* name = path + ExactNameStart(path);
    const std::string* otherCase = nullptr;
    for (const std::string& entry : entries.names) {
        if (std::strcmp(entry.c_str(), name) == 0) {
            return Success();
        }
        if (otherCase == nullptr && SameIgnoringCase(entry, name)) {
            otherCase = &entry;
        }
    }
    return ExactNameMissing(path, otherCase != nullptr ? otherCase->c_str() : "", entries.listError);
}

}  // namespace gridport
