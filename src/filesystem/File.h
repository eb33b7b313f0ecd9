#pragma once

#include <cstddef>
#include <cstdint>

#include "base/Error.h"

namespace gridport {

// One open file. Positions and sizes are byte counts from the start of the
// file. A failure of the platform is an Error that names the file.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    virtual ~File() = default;

    // The bytes that arrived: count, or fewer only at the end of the file.
    virtual Expected<std::size_t> Read(void* buffer, std::size_t count) = 0;
    // All count bytes, or the Error.
    virtual Expected<void> Write(const void* data, std::size_t count) = 0;
    // The file's length; the position is the same afterwards. An Error
    // where the platform can't tell, as for a pipe; Tell too.
    virtual Expected<std::uint64_t> Size() = 0;
    virtual Expected<std::uint64_t> Tell() = 0;
    // Moves to an absolute position.
    virtual Expected<void> Seek(std::uint64_t position) = 0;
};

// A file being written that takes the place of its target only when
// committed, as a save file does. Commit pushes out everything still
// buffered and puts the file in place; its error is the first failure of
// a write, the flush, the close or the replacement. Destroying an output
// that was not committed in full leaves the target as it was.
class OutputFile : public File {
public:
    virtual Expected<void> Commit() = 0;
};

}  // namespace gridport
