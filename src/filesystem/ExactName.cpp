#include "filesystem/ExactName.h"

#include <cerrno>
#include <string>

namespace gridport {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SameNameIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (Lower(*a) != Lower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

bool ExactNameMissing(const char* path, const char* otherCase, int listError, Error& error) {
    if (*otherCase != '\0') {
        return error.Fail(path, "the folder holds this name only in another letter case (\"" + std::string(otherCase) +
                                    "\")");
    }
    if (listError != 0) {
        return error.FailSystem(path, "cannot list its folder", listError);
    }
    return error.FailSystem(path, "cannot open", ENOENT);
}

}  // namespace gridport
