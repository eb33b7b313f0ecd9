#include "filesystem/StdioFileSystem.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "filesystem/ExactName.h"
#include "filesystem/StdioOutputFile.h"
#include "filesystem/PlatformFiles.h"
#include "filesystem/StdioFile.h"

namespace gridport {

namespace {

// Names taken by other files are tried again with new letters; this many
// clashes in a row mean something else is wrong.
constexpr int kTemporaryNameTries = 100;
constexpr const char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The temporary file's path beside target, with six letters to fill in at
// the end: ".town.rmp.gridport-XXXXXX".
std::string TemporaryPattern(const std::string& target) {
    const std::size_t cut = target.find_last_of(platform::kSeparators);
    const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    return target.substr(0, nameStart) + "." + target.substr(nameStart) + ".gridport-XXXXXX";
}

// Fills the pattern's last six letters in place, from a generator that no
// two processes share: no allocation, so nothing is left over on a throw.
void FillLetters(std::string& pattern, std::uint64_t& state) {
    for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i) {
        // splitmix64
        state += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        pattern[i] = kNameLetters[(z ^ (z >> 31)) % (sizeof kNameLetters - 1)];
    }
}

}  // namespace

Expected<std::unique_ptr<File>> StdioFileSystem::Open(const std::string& path, OpenMode mode) {
    const auto bits = static_cast<std::uint32_t>(mode);
    if (bits == static_cast<std::uint32_t>(OpenMode::Read)) {
        if (Expected<void> exact = CheckExactName(path.c_str()); !exact) {
            return exact.error();
        }
    }
    const char* streamMode = nullptr;
    if ((bits & static_cast<std::uint32_t>(OpenMode::Write)) != 0) {
        streamMode = "wb";
    } else if ((bits & static_cast<std::uint32_t>(OpenMode::Read)) != 0) {
        streamMode = "rb";
    } else {
        return Error(path, "no open mode given");
    }
    // Made before the stream is opened, so that nothing can throw while the
    // stream has no owner.
    auto file = std::make_unique<StdioFile>(nullptr);
    std::FILE* stream = std::fopen(path.c_str(), streamMode);
    if (stream == nullptr) {
        return Error::System(path, "cannot open", errno);
    }
    file->Attach(stream);
    if ((bits & static_cast<std::uint32_t>(OpenMode::Write)) == 0) {
        // Files are read through BufferedReader's block buffer; a stream
        // buffer under it only cut each block's read in two (4 KiB, then
        // the rest).
        std::setvbuf(stream, nullptr, _IONBF, 0);
        if (platform::IsDirectory(stream)) {
            return Error::System(path, "cannot open", EISDIR);
        }
    }
    return file;
}

Expected<std::unique_ptr<OutputFile>> StdioFileSystem::OpenOutput(const std::string& path) {
    const platform::OutputTarget target = platform::InspectOutput(path);
    // The output is made before its stream, so that nothing can throw while
    // a stream or a temporary file has no owner.
    if (target.kind == platform::OutputKind::Other) {
        auto file = std::make_unique<StdioOutputFile>(path, path);
        std::FILE* stream = std::fopen(path.c_str(), "wb");
        if (stream == nullptr) {
            return Error::System(path, "cannot open", errno);
        }
        file->Attach(stream, {});
        return file;
    }
    if (target.kind == platform::OutputKind::Regular && !platform::Writable(target.file)) {
        return Error::System(path, "cannot open", errno);
    }
    std::string temporary = TemporaryPattern(target.file);
    auto file = std::make_unique<StdioOutputFile>(path, target.file);
    std::uint64_t state = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                          reinterpret_cast<std::uintptr_t>(&state);
    for (int attempt = 1;; ++attempt) {
        FillLetters(temporary, state);
        std::FILE* stream = platform::CreateNew(temporary, target);
        if (stream != nullptr) {
            file->Attach(stream, std::move(temporary));
            return file;
        }
        if (errno != EEXIST || attempt == kTemporaryNameTries) {
            return Error::System(path, "cannot create a temporary file beside it", errno);
        }
    }
}

bool StdioFileSystem::SameFile(const std::string& a, const std::string& b) {
    return platform::SameFile(a, b);
}

}  // namespace gridport
