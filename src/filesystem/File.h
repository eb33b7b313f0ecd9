#pragma once

#include <cstdint>

namespace gridport {

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
    // Pushes out anything still buffered and closes the file. A write error
    // that the platform held back shows here, so writers must call it and
    // look at the result; destroying an open File closes it silently.
    virtual bool Close() = 0;
};

}  // namespace gridport
