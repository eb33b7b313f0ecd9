// PlatformFiles.h under WASI: no owners, permission bits, signals or links among the folders a batch walks.

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "filesystem/PlatformFilesPosix.h"

namespace gridport::platform {

bool TakeOwnerAndBits(int, const OutputTarget&, bool&) {
    return true;
}

std::size_t NameLimit(const std::string&) {
    return 255;
}

namespace {

// The path's parts, "." left out and each ".." taking the one before it.
std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace

// With no links among the folders, a file's identity is its path with "." and ".." worked out.
Expected<std::string> Identity(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return Error::System(path, "cannot open", errno);
    }
    std::string identity = path.starts_with('/') ? "/" : "";
    for (const std::string& part : Parts(path)) {
        identity += identity.empty() || identity.back() == '/' ? part : "/" + part;
    }
    return identity.empty() ? "." : identity;
}

// Identities are paths here, which a stream doesn't have.
Expected<std::string> StreamIdentity(std::FILE*) {
    return Error::System("a stream", "cannot look at it", ENOSYS);
}

Expected<void> CopyInPlace(const std::string&, const std::string& target) {
    return Error::System(target, "cannot write in place", ENOSYS);
}

void StartWriteback(std::FILE*, std::uint64_t, std::uint64_t) {}

}  // namespace gridport::platform
