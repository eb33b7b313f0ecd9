#include "filesystem/ExactName.h"

#include <algorithm>
#include <cerrno>
#include <string>

namespace gridport {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&lower](char x, char y) { return lower(x) == lower(y); });
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

}  // namespace gridport
