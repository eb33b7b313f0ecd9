#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filesystem/File.h"

namespace gridport {

// Collects the small fields of a record format into blocks, so that an
// output is written with one File::Write per block instead of one per field.
// The bytes that reach the file are the same. Flush must be called at the
// end; a write that fell short is the output's to report when it is
// committed.
class BufferedWriter {
public:
    explicit BufferedWriter(File& file, std::size_t capacity = 64 * 1024);

    void PutU16(std::uint32_t value);
    void PutBytes(const void* data, std::size_t count);
    void PutZeros(std::size_t count);
    // Room for count bytes that the caller writes in place, after what is
    // buffered; Commit(used) then takes the first used of them. Nothing else
    // may be put in between.
    std::uint8_t* Reserve(std::size_t count);
    void Commit(std::size_t count) { used_ += count; }

    void Flush();

private:
    std::uint8_t* Room(std::size_t count);
    void Drain();
    void WriteThrough(const std::uint8_t* data, std::size_t count);

    File& file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
};

}  // namespace gridport
