#include "filesystem/ExactName.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace gridport {

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

}  // namespace gridport
