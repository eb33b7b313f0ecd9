#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filesystem/File.h"

namespace gridport {

// Collects a record format's small fields into blocks, so an output takes one File::Write per block, not per field;
// the bytes are the same. Flush must be called at the end; a short write is the output's to report at Commit.
class BufferedWriter {
public:
    explicit BufferedWriter(File& file, std::size_t capacity = 64 * 1024);

    void PutU16(std::uint32_t value);
    void PutBytes(const void* data, std::size_t count);
    void PutZeros(std::size_t count);
    // Room for count bytes written in place; Commit(used) then keeps used of them. Nothing may be put in between.
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
