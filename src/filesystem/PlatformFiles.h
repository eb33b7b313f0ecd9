#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileStatus.h"

// The file operations that differ between systems; CMake builds the PlatformFiles*.cpp that fit. A failure's Error
// carries the system's errno value (Error::Cause) for a caller that tries another way.
namespace gridport::platform {

// The characters that end a path's folder part.
#ifdef _WIN32
inline constexpr const char* kSeparators = "/\\:";
#else
inline constexpr const char* kSeparators = "/";
#endif

Expected<FileStatus> Status(const std::string& path);  // What path names, links followed (FileSystem::Status).

// The one folder listing ("" = working folder) for the exact-name check, cache and walk; no "." or ".."; links as Link.
Expected<std::vector<FolderEntry>> ListFolder(const std::string& folder);

// The same text for every path to one file (FileSystem::Identity).
Expected<std::string> Identity(const std::string& path);
// The file's own identity, device and inode (volume and file index on Windows), for SameFile: one file however it is
// reached, links included. Identity is this where the walk can use it (not under WASI, where it is a path).
Expected<std::string> FileIdentity(const std::string& path);

// Identity's text for the file an open stream reads or writes (standard input, say); fails where the system can't tell.
Expected<std::string> StreamIdentity(std::FILE* stream);

// Makes the one folder path; one that is there already is no failure.
Expected<void> MakeFolder(const std::string& path);

// The longest path that the exact-name check takes, 0 for no limit, and whether it lists the root for a path right
// under it ("/town.map"); on Windows the working folder stands in for the root, as it always has.
#ifdef _WIN32
inline constexpr std::size_t kLongestCheckedPath = 259;
inline constexpr bool kChecksTheRoot = false;
#else
inline constexpr std::size_t kLongestCheckedPath = 0;
inline constexpr bool kChecksTheRoot = true;
#endif

enum class OutputKind {
    Missing,  // nothing there yet (a dangling symbolic link included)
    Regular,  // a regular file, to be replaced
    Other,    // a device, a pipe, a directory, or what can't be looked at: written in place
};

struct OutputTarget {
    OutputKind kind = OutputKind::Missing;
    // The path to replace or create: the path itself, or the end of its symbolic links, so that the links stay.
    std::string file;
    int mode = -1;  // The permission bits of an existing regular file; -1 for a new one.
    long long owner = -1;  // Its owner and group; -1 where the system has none.
    long long group = -1;
};

OutputTarget InspectOutput(const std::string& path);

// Fails ("cannot open") when this process may not write the existing file at path. One it may not write keeps its
// protection: no rename.
Expected<void> CheckWritable(const std::string& path);

struct NewFile {
    std::FILE* stream = nullptr;  // The caller's to close.
    bool ownerKept = true;
};

// Creates path, which must not exist (EEXIST), for writing bytes. A new target gets a plain create's mode (0666 less
// the umask); a replacement gets the old owner and group, then mode. If the owner or group is refused, ownerKept is
// false and the file stays private (0600), for the caller to write in place. On failure nothing is left behind.
Expected<NewFile> CreateNew(const std::string& path, const OutputTarget& target);

// Whether this platform writes an existing file in place (CopyInPlace) where it can't be replaced by a rename.
#if defined(_WIN32) || defined(__wasi__)
inline constexpr bool kWritesInPlace = false;
#else
inline constexpr bool kWritesInPlace = true;
#endif

// The longest file name that folder ("" for the working directory) takes, in bytes.
std::size_t NameLimit(const std::string& folder);

// The folder for a temporary file that can't go beside its target: TMPDIR or the system's; ends in a separator.
std::string StagingFolder();

std::string FullPath(const std::string& path);  // path made independent of the working directory.

// Renames from over to, replacing it in one step.
Expected<void> Replace(const std::string& from, const std::string& to);

// Writes the staged file over target in place: its owner, group, mode and hard links stay. Room is reserved first, so a
// full disk fails before any byte changes; only a disk failure (EIO) can stop it halfway.
Expected<void> CopyInPlace(const std::string& staged, const std::string& target);

// Starts writing count bytes of a stream's file from offset to disk without waiting. Only a hint: may do nothing.
void StartWriteback(std::FILE* stream, std::uint64_t offset, std::uint64_t count);

// 64-bit positions of a stream, so that files over 2 GiB work on every host.
std::int64_t TellStream(std::FILE* stream);
int SeekStream(std::FILE* stream, std::int64_t offset, int origin);

// Standard input and output carry bytes unchanged (Windows would translate line ends); whether a stream is a terminal.
void UseBinaryStandardStreams();
bool IsTerminal(std::FILE* stream);

#ifdef _WIN32
int ErrnoFromLastError();  // The errno value closest to the thread's last Windows error.
#endif

}  // namespace gridport::platform
