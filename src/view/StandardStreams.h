#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// The viewers' files: "-" is standard input for reading and standard output for writing (a file named "-" is "./-");
// other paths go to the file system below. Redirected from a file, standard input seeks; from a pipe it can't.
class StandardStreamFileSystem final : public FileSystem {
public:
    StandardStreamFileSystem(FileSystem& files, std::FILE* input, std::FILE* output)
        : files_(files), input_(input), output_(output) {}

    Expected<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
    Expected<std::unique_ptr<OutputFile>> OpenOutput(const std::string& path) override;
    // Whether writing a replaces b: "-" as a is standard output, as b standard input, each the file it is redirected to.
    bool SameFile(const std::string& a, const std::string& b) override;
    // The rest is the file system's underneath.
    Expected<FileStatus> Status(const std::string& path) override { return files_.Status(path); }
    Expected<std::vector<FolderEntry>> List(const std::string& folder) override { return files_.List(folder); }
    Expected<std::string> Identity(const std::string& path) override { return files_.Identity(path); }
    Expected<void> MakeFolders(const std::string& folder) override { return files_.MakeFolders(folder); }

private:
    FileSystem& files_;
    std::FILE* input_;
    std::FILE* output_;
};

// What the viewers keep of a stream that can't seek, to read it again.
inline constexpr std::uint64_t kMostKeptInput = std::uint64_t{4} << 20;

// Opens path to be read more than once: a stream that can't seek is first read into memory, if at most `most` bytes.
Expected<std::unique_ptr<File>> OpenSeekable(const std::string& path, FileSystem& fileSystem, std::uint64_t most);

}  // namespace gridport
