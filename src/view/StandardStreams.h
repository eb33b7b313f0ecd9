#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "filesystem/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport {

// The viewers' files: the path "-" opened for reading is standard input (read
// whole into memory at the first open, so that readers can seek and a second
// reader sees the same bytes), opened for writing it is standard output;
// every other path goes to the file system underneath. A file really named
// "-" is reached as "./-".
class StandardStreamFileSystem final : public FileSystem {
public:
    StandardStreamFileSystem(FileSystem& files, std::FILE* input, std::FILE* output)
        : files_(files), input_(input), output_(output) {}

    using FileSystem::Open;
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, Error& error) override;
    std::unique_ptr<File> OpenOutput(const std::string& path, Error& error) override;
    // Standard input and output are no file's.
    bool SameFile(const std::string& a, const std::string& b) override;

private:
    FileSystem& files_;
    std::FILE* input_;
    std::FILE* output_;
    std::shared_ptr<const std::vector<std::uint8_t>> inputBytes_;
};

// Opens an input for reading, with the reason when it can't be read: the
// system's text, or that the path is a directory.
std::unique_ptr<File> OpenInput(FileSystem& fileSystem, const std::string& path, Error& error);

}  // namespace gridport
