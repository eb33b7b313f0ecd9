#include "support/TempDir.h"

#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <random>
#else
#include <stdlib.h>
#endif

namespace gridport::test {

TempDir::TempDir() {
#ifdef _WIN32
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("gridport-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "gridport-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
#endif
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::filesystem::path& path)
    : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
}

}  // namespace gridport::test
