#include "filesystem/StdioFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "filesystem/ExactName.h"
#include "base/Signals.h"
#include "filesystem/PlatformFiles.h"
#include "filesystem/StdioFile.h"
#include "filesystem/StdioOutputFile.h"

namespace gridport {

namespace {

// Names taken by other files are tried again with new letters; this many clashes in a row mean something else is wrong.
constexpr int kTemporaryNameTries = 100;
constexpr const char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The temporary file's path in folder for target name, ending in six letters to fill: ".town.rmp.gridport-XXXXXX". The
// name is cut short when the folder's limit requires, so every name that can exist can be replaced.
std::string TemporaryPattern(const std::string& folder, const std::string& name) {
    constexpr std::string_view kEnd = ".gridport-XXXXXX";
    const std::size_t limit = platform::NameLimit(folder);
    std::size_t kept = std::min(name.size(), limit > kEnd.size() + 1 ? limit - kEnd.size() - 1 : 0);
    // Not inside a UTF-8 character.
    while (kept > 0 && kept < name.size() && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) {
        --kept;
    }
    return folder + "." + name.substr(0, kept) + std::string(kEnd);
}

// Fills the pattern's last six letters in place from a per-process generator; no allocation, so nothing leaks on throw.
void FillLetters(std::string& pattern, std::uint64_t& state) {
    for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i) {
        state += 0x9E3779B97F4A7C15ULL;  // splitmix64
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        pattern[i] = kNameLetters[(z ^ (z >> 31)) % (sizeof kNameLetters - 1)];
    }
}

// Makes the output's temporary file in folder ("" or ending in a separator), registered for the signal handlers. A
// refused owner makes the output write in place.
Expected<void> MakeTemporary(StdioOutputFile& file, const std::string& folder, const std::string& name,
                   const platform::OutputTarget& target, StdioOutputFile::Way way) {
    std::string temporary = TemporaryPattern(folder, name);
    std::uint64_t state = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                          reinterpret_cast<std::uintptr_t>(&state);
    for (int attempt = 1;; ++attempt) {
        FillLetters(temporary, state);
        const std::string fullPath = platform::FullPath(temporary);
        // The file is made while the registry holds its path and no signal can come on this thread.
        const HeldSignals held;
        if (!file.Entry().Begin(fullPath)) {
            return Error::System(temporary, "cannot create", EINTR);
        }
        Expected<platform::NewFile> made = platform::CreateNew(temporary, target);
        if (made) {
            file.Entry().Made();
            file.Attach(made->stream, std::move(temporary), made->ownerKept ? way : StdioOutputFile::Way::InPlace);
            return Success();
        }
        file.Entry().Forget();
        if (made.error().Cause() != EEXIST || attempt == kTemporaryNameTries) {
            return made.error();
        }
    }
}

// std::fopen, retried when a signal only interrupted it (a FIFO waits for its other end); after a stop, EINTR.
std::FILE* OpenStream(const std::string& path, const char* mode) {
    for (;;) {
        std::FILE* stream = std::fopen(path.c_str(), mode);
        if (stream != nullptr || errno != EINTR || StopRequested()) {
            return stream;
        }
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
        // Looked at before it is opened: opening a FIFO waits for a writer, and a device may never end.
        Expected<FileStatus> status = platform::Status(path);
        if (!status) {
            return status.error();
        }
        if (Expected<void> regular = RequireRegular(path, *status); !regular) {
            return regular.error();
        }
    } else {
        return Error(path, "no open mode given");
    }
    // Made before the stream is opened, so that nothing can throw while the stream has no owner.
    auto file = std::make_unique<StdioFile>(nullptr, path);
    std::FILE* stream = OpenStream(path, streamMode);
    if (stream == nullptr) {
        return Error::System(path, "cannot open", errno);
    }
    file->Attach(stream);
    if ((bits & static_cast<std::uint32_t>(OpenMode::Write)) == 0) {
        // BufferedReader buffers blocks; a stream buffer under it would only split each read in two (4 KiB, then rest).
        std::setvbuf(stream, nullptr, _IONBF, 0);
    }
    return file;
}

Expected<std::unique_ptr<OutputFile>> StdioFileSystem::OpenOutput(const std::string& path) {
    const platform::OutputTarget target = platform::InspectOutput(path);
    // The output is made before its stream, so that nothing can throw while a stream or a temporary file has no owner.
    if (target.kind == platform::OutputKind::Other) {
        auto file = std::make_unique<StdioOutputFile>(path, path, false);
        std::FILE* stream = OpenStream(path, "wb");
        if (stream == nullptr) {
            return Error::System(path, "cannot open", errno);
        }
        file->Attach(stream, {}, StdioOutputFile::Way::Direct);
        return file;
    }
    const bool existing = target.kind == platform::OutputKind::Regular;
    if (existing) {
        if (Expected<void> writable = platform::CheckWritable(target.file); !writable) {
            return Error::System(path, "cannot open", writable.error().Cause());
        }
    }
    auto file = std::make_unique<StdioOutputFile>(path, target.file, existing && platform::kWritesInPlace);
    const std::size_t nameStart = FileNameStart(target.file);
    const std::string name = target.file.substr(nameStart);
    const Expected<void> beside =
        MakeTemporary(*file, target.file.substr(0, nameStart), name, target, StdioOutputFile::Way::Rename);
    if (beside) {
        return file;
    }
    const int cause = beside.error().Cause();
    // A writable file in a folder that takes no new file is staged in the temporary folder and written in place.
    if (existing && platform::kWritesInPlace && (cause == EACCES || cause == EPERM || cause == EROFS)) {
        platform::OutputTarget staged;
        staged.kind = platform::OutputKind::Regular;
        staged.mode = 0600;
        const Expected<void> aside =
            MakeTemporary(*file, platform::StagingFolder(), name, staged, StdioOutputFile::Way::InPlace);
        if (aside) {
            return file;
        }
        return Error::System(path, "cannot create a temporary file beside it or in " + platform::StagingFolder(),
                             aside.error().Cause());
    }
    return Error::System(path, "cannot create a temporary file beside it", cause);
}

bool StdioFileSystem::SameFile(const std::string& a, const std::string& b) {
    const Expected<std::string> first = platform::FileIdentity(a);
    const Expected<std::string> second = platform::FileIdentity(b);
    return first && second && *first == *second;
}

Expected<FileStatus> StdioFileSystem::Status(const std::string& path) {
    return platform::Status(path);
}

Expected<std::vector<FolderEntry>> StdioFileSystem::List(const std::string& folder) {
    return platform::ListFolder(folder);
}

Expected<std::string> StdioFileSystem::Identity(const std::string& path) {
    return platform::Identity(path);
}

Expected<void> StdioFileSystem::MakeFolders(const std::string& folder) {
    // Each folder from the top; existing ones ("C:" among them) are passed over; the last failure is the reason.
    const std::size_t last = folder.find_last_not_of(platform::kSeparators);
    const std::string whole = last == std::string::npos ? std::string() : folder.substr(0, last + 1);
    for (std::size_t cut = whole.find_first_of(platform::kSeparators, 1); cut != std::string::npos;
         cut = whole.find_first_of(platform::kSeparators, cut + 1)) {
        if (whole.find_first_not_of(platform::kSeparators, cut) == std::string::npos) {
            break;
        }
        static_cast<void>(platform::MakeFolder(whole.substr(0, cut)));
    }
    return whole.empty() ? Success() : platform::MakeFolder(whole);
}

}  // namespace gridport
