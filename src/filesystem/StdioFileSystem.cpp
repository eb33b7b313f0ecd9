#include "filesystem/StdioFileSystem.h"

#include <cstdio>
#include <new>

#include "filesystem/ExactName.h"
#include "filesystem/StdioFile.h"

namespace gridport {

std::unique_ptr<File> StdioFileSystem::Open(const std::string& path, OpenMode mode) {
    const auto bits = static_cast<std::uint32_t>(mode);
    if (bits == static_cast<std::uint32_t>(OpenMode::Read) && !ExactNameExists(path.c_str())) {
        return nullptr;
    }
    const char* streamMode = nullptr;
    if ((bits & static_cast<std::uint32_t>(OpenMode::Write)) != 0) {
        streamMode = "wb";
    } else if ((bits & static_cast<std::uint32_t>(OpenMode::Read)) != 0) {
        streamMode = "rb";
    } else {
        return nullptr;
    }
    std::FILE* stream = std::fopen(path.c_str(), streamMode);
    if (stream == nullptr) {
        return nullptr;
    }
    try {
        return std::make_unique<StdioFile>(stream);
    } catch (const std::bad_alloc&) {
        std::fclose(stream);
        return nullptr;
    }
}

}  // namespace gridport
