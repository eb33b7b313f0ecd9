#ifndef _WIN32

#include <dirent.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "filesystem/ExactName.h"

namespace gridport {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool ExactNameExists(const char* path) {
    const std::string_view whole(path);
    std::size_t cut = whole.rfind('\\');
    if (cut == std::string_view::npos) {
        cut = whole.rfind('/');
    }
    // The file-name part is the tail of the path, so it ends where the path does.
    const char* name = path;
    std::string directory = ".";
    if (cut != std::string_view::npos) {
        name = path + cut + 1;
        if (cut > 0) {
            directory.assign(path, cut);
        } else if (whole[0] == '/') {
            directory = "/";
        }
    }
    // A directory part that can't be listed leaves the current directory to
    // be listed, as entering it would have failed and left us where we were.
    DIR* opened = opendir(directory.c_str());
    if (opened == nullptr && directory != ".") {
        opened = opendir(".");
    }
    if (opened == nullptr) {
        return false;
    }
    const std::unique_ptr<DIR, DirCloser> listing(opened);
    while (const dirent* entry = readdir(listing.get())) {
        if (std::strcmp(entry->d_name, name) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace gridport

#endif
