#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "filesystem/PlatformFiles.h"

namespace gridport::platform {

namespace {

// A handle that only asks about the file, shared with every other user; directories open too.
HANDLE OpenToLookAt(const std::string& path) {
    return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Paths are 8-bit strings in the process's code page, as the C library takes them; the wide calls take them converted.
bool Widen(const std::string& text, std::vector<wchar_t>& wide) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length) == length;
}

// The 8-bit path of handle's file, links resolved and names in stored case; empty when no exact 8-bit form exists.
std::string FinalPath(HANDLE handle) {
    std::vector<wchar_t> wide(MAX_PATH);
    DWORD length = GetFinalPathNameByHandleW(handle, wide.data(), static_cast<DWORD>(wide.size()), 0);
    if (length >= wide.size()) {
        wide.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, wide.data(), static_cast<DWORD>(wide.size()), 0);
    }
    if (length == 0 || length >= wide.size()) {
        return {};
    }
    std::wstring path(wide.data(), length);
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        path = L"\\\\" + path.substr(8);
    } else if (path.rfind(L"\\\\?\\", 0) == 0) {
        path = path.substr(4);
    }
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (bytes <= 1 || lossy) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, narrow.data(), bytes, nullptr, &lossy);
    narrow.pop_back();
    return narrow;
}

}  // namespace

int ErrnoFromLastError() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return EIO;
    }
}

namespace {

using HandleOwner = std::unique_ptr<void, decltype(&CloseHandle)>;  // A handle closed when it goes.

bool MissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

}  // namespace

Expected<FileStatus> Status(const std::string& path) {
    FileStatus status;
    const HANDLE handle = OpenToLookAt(path);
    if (handle == INVALID_HANDLE_VALUE) {
        if (!MissingError(GetLastError())) {
            return Error::System(path, "cannot open", ErrnoFromLastError());
        }
        const DWORD attributes = GetFileAttributesA(path.c_str());  // Nothing there, or a link whose end is missing.
        const bool link = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        status.kind = link ? FileKind::Link : FileKind::Missing;
        return status;
    }
    const HandleOwner owner(handle, &CloseHandle);
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_CHAR) {
        status.kind = FileKind::Device;
        return status;
    }
    if (type == FILE_TYPE_PIPE) {
        status.kind = FileKind::Fifo;
        return status;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(handle, &information) == 0) {
        return Error::System(path, "cannot open", ErrnoFromLastError());
    }
    status.kind = type != FILE_TYPE_DISK                                             ? FileKind::Other
                  : (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder
                                                                                    : FileKind::Regular;
    status.size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    status.modified = (std::uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) |
                      information.ftLastWriteTime.dwLowDateTime;
    return status;
}

Expected<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
    // Listed by a pattern, so that the process's working folder never changes.
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') {
        pattern += '\\';
    }
    pattern += '*';
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA found;
    const HANDLE listing = FindFirstFileA(pattern.c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) {
        // A drive's empty root has no "." to list.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return entries;
        }
        return Error::System(folder, "cannot list the folder", ErrnoFromLastError());
    }
    // Closed however the walk ends, an allocation that fails included.
    const std::unique_ptr<void, decltype(&FindClose)> closer(listing, &FindClose);
    do {
        const std::string_view name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        const DWORD attributes = found.dwFileAttributes;
        const FileKind kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileKind::Link
                              : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FileKind::Folder
                                                                                : FileKind::Regular;
        entries.push_back({std::string(name), kind});
    } while (FindNextFileA(listing, &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        return Error::System(folder, "cannot list the folder", ErrnoFromLastError());
    }
    return entries;
}

Expected<std::string> Identity(const std::string& path) {
    const HANDLE handle = OpenToLookAt(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return Error::System(path, "cannot open", ErrnoFromLastError());
    }
    const HandleOwner owner(handle, &CloseHandle);
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(handle, &information) == 0) {
        return Error::System(path, "cannot open", ErrnoFromLastError());
    }
    return std::to_string(information.dwVolumeSerialNumber) + ":" +
           std::to_string((std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow);
}

Expected<std::string> StreamIdentity(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    BY_HANDLE_FILE_INFORMATION information;
    if (handle == INVALID_HANDLE_VALUE || GetFileInformationByHandle(handle, &information) == 0) {
        return Error::System("a stream", "cannot look at it", ErrnoFromLastError());
    }
    return std::to_string(information.dwVolumeSerialNumber) + ":" +
           std::to_string((std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow);
}

Expected<void> MakeFolder(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr) != 0) {
        return Success();
    }
    const int cause = ErrnoFromLastError();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Success();
    }
    return Error::System(path, "cannot make the folder", cause == EEXIST ? ENOTDIR : cause);
}

OutputTarget InspectOutput(const std::string& path) {
    OutputTarget target;
    target.file = path;
    const HANDLE handle = OpenToLookAt(path);
    if (handle == INVALID_HANDLE_VALUE) {
        target.kind = OutputKind::Missing;
        return target;
    }
    BY_HANDLE_FILE_INFORMATION information;
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    const bool regular = disk && known && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    target.kind = regular ? OutputKind::Regular : OutputKind::Other;
    // Replaced where links lead, under its own name: a rename to "TOWN.RMP" would change the stored "town.rmp".
    if (regular) {
        const std::string final = FinalPath(handle);
        if (!final.empty()) {
            target.file = final;
        }
    }
    CloseHandle(handle);
    return target;
}

Expected<void> CheckWritable(const std::string& path) {
    if (_access(path.c_str(), 2) != 0) {
        return Error::System(path, "cannot open", errno);
    }
    return Success();
}

Expected<NewFile> CreateNew(const std::string& path, const OutputTarget&) {
    // Shared for deleting, so the console handler can remove the open file (it goes when the program ends).
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return Error::System(path, "cannot create", ErrnoFromLastError());
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    NewFile made;
    made.stream = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
    if (made.stream == nullptr) {
        const int cause = errno;
        static_cast<void>(descriptor < 0 ? CloseHandle(handle) : _close(descriptor));
        DeleteFileA(path.c_str());
        return Error::System(path, "cannot create", cause);
    }
    return made;
}

// Names are up to 255 UTF-16 characters, which take at least as many bytes.
std::size_t NameLimit(const std::string&) {
    return 255;
}

std::string StagingFolder() {
    char folder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    return length > 0 && length < sizeof folder ? std::string(folder, length) : std::string(".\\");
}

std::string FullPath(const std::string& path) {
    const DWORD length = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) {
        return path;
    }
    std::string full(length, '\0');
    const DWORD written = GetFullPathNameA(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) {
        return path;
    }
    full.resize(written);
    return full;
}

// Nothing here writes in place (kWritesInPlace).
Expected<void> CopyInPlace(const std::string&, const std::string& target) {
    return Error::System(target, "cannot write in place", ENOSYS);
}

Expected<void> Replace(const std::string& from, const std::string& to) {
    std::vector<wchar_t> wideFrom;
    std::vector<wchar_t> wideTo;
    if (!Widen(from, wideFrom) || !Widen(to, wideTo)) {
        return Error::System(to, "cannot replace", ENOENT);
    }
    if (MoveFileExW(wideFrom.data(), wideTo.data(), MOVEFILE_REPLACE_EXISTING) == 0) {
        return Error::System(to, "cannot replace", ErrnoFromLastError());
    }
    return Success();
}

void StartWriteback(std::FILE*, std::uint64_t, std::uint64_t) {}  // Windows has no call that only starts the writing.

Expected<std::string> FileIdentity(const std::string& path) {
    return Identity(path);
}

std::int64_t TellStream(std::FILE* stream) {
    return _ftelli64(stream);
}

int SeekStream(std::FILE* stream, std::int64_t offset, int origin) {
    return _fseeki64(stream, offset, origin);
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool IsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

}  // namespace gridport::platform
