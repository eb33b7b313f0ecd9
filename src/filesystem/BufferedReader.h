#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "filesystem/Error.h"
#include "filesystem/File.h"

namespace gridport {

// Reads a File from its current position through a block buffer, so that the
// format readers can take two bytes at a time without a call per field.
// Every read is exact: a request the file can't fill in full is a failure,
// and a failed reader stays failed. It also knows how many bytes the file
// still holds, so that sizes a header declares can be checked before
// anything is allocated for them.
class BufferedReader {
public:
    explicit BufferedReader(File& file, std::size_t capacity = 64 * 1024);

    // False when the file couldn't tell its size or position, or a read or
    // skip fell short.
    bool Ok() const { return ok_; }
    // Bytes of the file not yet taken by the reader.
    std::uint64_t Remaining() const { return remaining_; }
    // The file position of the next byte the reader hands out, for reasons
    // that name where a file went wrong. Meaningless after a failure.
    std::uint64_t Position() const { return static_cast<std::uint64_t>(filePosition_) - (end_ - begin_); }

    [[nodiscard]] bool Read(void* destination, std::size_t count);
    [[nodiscard]] bool Skip(std::uint64_t count);

    // The same, naming what is read for the reason when they fail: "<what>
    // needs 4096 bytes, 100 are left", or "cannot read <what>" when the bytes
    // are there but the file won't give them, at the position of the read.
    [[nodiscard]] bool Need(std::uint64_t count, const std::string& path, const std::string& what, Error& error) const;
    [[nodiscard]] bool Read(void* destination, std::size_t count, const std::string& path, const std::string& what,
              Error& error);
    [[nodiscard]] bool Skip(std::uint64_t count, const std::string& path, const std::string& what, Error& error);

    [[nodiscard]] bool ReadU8(std::uint8_t& value) {
        if (begin_ == end_ && !Refill()) {
            return false;
        }
        value = buffer_[begin_++];
        --remaining_;
        return true;
    }

    [[nodiscard]] bool ReadU16(std::uint16_t& value) {
        if (end_ - begin_ < 2) {
            std::uint8_t bytes[2];
            if (!Read(bytes, 2)) {
                return false;
            }
            value = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
            return true;
        }
        value = static_cast<std::uint16_t>(buffer_[begin_] | (buffer_[begin_ + 1] << 8));
        begin_ += 2;
        remaining_ -= 2;
        return true;
    }

    // The bytes in the buffer that no read has taken yet, for a reader that
    // decodes many small items in place; Take(count) then takes count of
    // them, at most BufferedSize(). Nothing is buffered after a failure.
    const std::uint8_t* BufferedData() const { return buffer_.data() + begin_; }
    std::size_t BufferedSize() const { return end_ - begin_; }
    // Makes sure something is buffered, refilling when nothing is.
    [[nodiscard]] bool Fill() { return begin_ != end_ || Refill(); }
    void Take(std::size_t count) {
        begin_ += count;
        remaining_ -= count;
    }

private:
    bool Refill();
    bool Fail();

    File& file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::int64_t filePosition_ = 0;
    std::uint64_t remaining_ = 0;
    bool ok_ = true;
};

}  // namespace gridport
