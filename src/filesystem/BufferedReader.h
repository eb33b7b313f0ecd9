#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "base/Error.h"
#include "filesystem/File.h"

namespace gridport {

// Reads a File from its current position through a block buffer, so that the
// format readers can take two bytes at a time without a call per field.
// Every read is exact: a request the file can't fill in full is a failure,
// and a failed reader stays failed. It knows how many bytes the file still
// holds, so that sizes a header declares can be checked before anything is
// allocated for them; a stream that can't tell its size (a pipe) counts as
// holding as much as is asked for, until it ends. Reasons name the path.
class BufferedReader {
public:
    static constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

    BufferedReader(File& file, std::string path, std::size_t capacity = 64 * 1024);

    const std::string& Path() const { return path_; }
    // Bytes of the file not yet taken by the reader; kUnknown for a stream
    // whose end is not known yet.
    std::uint64_t Remaining() const { return remaining_; }
    // The file position of the next byte the reader hands out, for reasons
    // that name where a file went wrong. Meaningless after a failure.
    std::uint64_t Position() const { return filePosition_ - (end_ - begin_); }
    // The file position after the last byte the file gave: where a stream
    // of unknown size ended, once a read fell short.
    std::uint64_t Delivered() const { return filePosition_; }
    // For readers that share one file, each at its own place: every refill
    // first moves the file to where this reader stands.
    void ShareFile() { shared_ = true; }

    // A reason at a file position.
    Error Fail(std::uint64_t position, std::string message) const { return Error(path_, position, std::move(message)); }

    // Every operation names the bytes it takes: what is words, or a function
    // that gives them, called only on failure. The reason is "<what> needs
    // 4096 bytes, 100 are left", or "cannot read <what>" when the bytes are
    // there but the file won't give them, at the position of the operation.
    Expected<void> Need(std::uint64_t count, const std::string& what) const;
    template <typename What>
    Expected<void> Read(void* destination, std::size_t count, const What& what) {
        if (ok_ && count > remaining_) {
            return ReadFailure(true, Position(), count, remaining_, Words(what));
        }
        return Get(destination, count, what);
    }
    Expected<void> Skip(std::uint64_t count, const std::string& what);
    // Moves to a file position. A stream that can't seek only goes forward.
    template <typename What>
    Expected<void> MoveTo(std::uint64_t position, const What& what) {
        return Go(position) ? Success() : Expected<void>(Fail(position, "cannot read " + Words(what)));
    }
    // The decoders' inner loops: a byte or a little-endian 16-bit number
    // from the buffer, refilling it when it runs short. A short read fails
    // the reader.
    template <typename What>
    Expected<void> ReadU8(std::uint8_t& value, const What& what) {
        if (begin_ == end_) {
            return Get(&value, 1, what);
        }
        value = buffer_[begin_];
        Take(1);
        return Success();
    }
    template <typename What>
    Expected<void> ReadU16(std::uint16_t& value, const What& what) {
        if (end_ - begin_ < 2) {
            std::uint8_t bytes[2];
            Expected<void> read = Get(bytes, 2, what);
            value = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
            return read;
        }
        value = static_cast<std::uint16_t>(buffer_[begin_] | (buffer_[begin_ + 1] << 8));
        Take(2);
        return Success();
    }

    // The bytes in the buffer that no read has taken yet, for a reader that
    // decodes many small items in place; Take(count) then takes count of
    // them, at most BufferedSize(). Nothing is buffered after a failure.
    const std::uint8_t* BufferedData() const { return buffer_.data() + begin_; }
    std::size_t BufferedSize() const { return end_ - begin_; }
    // Makes sure something is buffered, refilling when nothing is.
    template <typename What>
    Expected<void> Fill(const What& what) {
        const std::uint64_t position = Position();
        return begin_ != end_ || Refill() ? Success() : Expected<void>(Fail(position, "cannot read " + Words(what)));
    }
    void Take(std::size_t count) {
        begin_ += count;
        if (remaining_ != kUnknown) {
            remaining_ -= count;
        }
    }

private:
    template <typename What>
    static std::string Words(const What& what) {
        if constexpr (std::is_invocable_v<const What&>) {
            return what();
        } else {
            return std::string(what);
        }
    }
    // Reads count bytes, failing the reader when they don't all arrive.
    template <typename What>
    Expected<void> Get(void* destination, std::size_t count, const What& what) {
        const std::uint64_t position = Position();
        const std::uint64_t left = ok_ ? remaining_ : 0;
        const bool wasOk = ok_;
        return Copy(destination, count) ? Success()
                                        : Expected<void>(ReadFailure(wasOk, position, count, left, Words(what)));
    }
    bool Copy(void* destination, std::size_t count);
    bool Pass(std::uint64_t count);
    bool Go(std::uint64_t position);
    bool Refill();
    bool Fail();
    Error Short(std::uint64_t position, std::uint64_t count, std::uint64_t left, const std::string& what) const;
    // Why a read of count bytes at position failed: the reader had failed
    // before, the bytes were not there (left of them were), or the file
    // would not give them.
    Error ReadFailure(bool wasOk, std::uint64_t position, std::uint64_t count, std::uint64_t left,
                      const std::string& what) const;
    // Reads into out straight from the file; false when fewer arrive.
    bool ReadFile(std::uint8_t* out, std::size_t count, std::size_t& got);

    File& file_;
    std::string path_;
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t filePosition_ = 0;
    std::uint64_t remaining_ = 0;
    // The file's size, kUnknown for a stream that can't tell it.
    std::uint64_t size_ = kUnknown;
    bool ok_ = true;
    bool shared_ = false;
};

}  // namespace gridport
