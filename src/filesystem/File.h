#pragma once

#include <cstddef>
#include <cstdint>

#include "base/Error.h"

namespace gridport {

// One open file; positions and sizes are byte counts from its start, and a platform failure is an Error naming it.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    virtual ~File() = default;

    // The bytes that arrived: count, or fewer only at the end of the file.
    virtual Expected<std::size_t> Read(void* buffer, std::size_t count) = 0;
    virtual Expected<void> Write(const void* data, std::size_t count) = 0;  // all count bytes, or the Error
    // Size leaves the position as it was; Size and Tell fail where the platform can't tell, as for a pipe.
    virtual Expected<std::uint64_t> Size() = 0;
    virtual Expected<std::uint64_t> Tell() = 0;
    virtual Expected<void> Seek(std::uint64_t position) = 0;  // absolute
};

// A file being written that replaces its target only on Commit, which flushes, closes and puts it in place, failing
// with the first failed write, flush, close or replacement; uncommitted, it leaves the target as it was.
class OutputFile : public File {
public:
    virtual Expected<void> Commit() = 0;
};

}  // namespace gridport
