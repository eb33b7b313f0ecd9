#pragma once

#include <cstddef>
#include <cstdint>

#include "base/Error.h"

namespace gridport {

// File::Read and File::Write take 32-bit counts: larger transfers go in
// pieces of this size.
inline constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

// One open file. Positions and sizes are byte counts from the start of the
// file; Tell and Size give -1 when the platform can't tell.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    virtual ~File() = default;

    // Returns how many bytes arrived: count, or fewer at the end or on error.
    virtual std::uint32_t Read(void* buffer, std::uint32_t count) = 0;
    // Returns how many bytes were accepted.
    virtual std::uint32_t Write(const void* data, std::uint32_t count) = 0;
    // The file's length; the position is the same afterwards.
    virtual std::int64_t Size() = 0;
    virtual std::int64_t Tell() = 0;
    // Moves to an absolute position; 0 on success.
    virtual int Seek(std::int64_t position) = 0;
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
