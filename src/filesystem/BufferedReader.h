#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "base/Error.h"
#include "filesystem/File.h"

namespace gridport {

// Reads a File from its current position through a block buffer, so format readers take small fields cheaply. Reads
// are exact: a short one fails the reader for good. Bytes left are known, so declared sizes are checked before any
// allocation; a stream of unknown size (a pipe) counts as holding what is asked for, until it ends. Reasons name path.
class BufferedReader {
public:
    static constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

    BufferedReader(File& file, std::string path, std::size_t capacity = 64 * 1024);

    const std::string& Path() const { return path_; }
    // Bytes of the file not yet taken; kUnknown for a stream whose end is not known yet.
    std::uint64_t Remaining() const { return remaining_; }
    // The file position of the next byte handed out, for reasons; meaningless after a failure.
    std::uint64_t Position() const { return filePosition_ - (end_ - begin_); }
    // Position after the last byte the file gave: where a stream of unknown size ended once a read fell short.
    std::uint64_t Delivered() const { return filePosition_; }
    // For readers sharing one file at their own places: every refill first seeks to where this reader stands.
    void ShareFile() { shared_ = true; }

    Error Fail(std::uint64_t position, std::string message) const { return Error(path_, position, std::move(message)); }

    // Each operation names its bytes: what is words, or a function giving them called only on failure. The reason, at
    // its position, is "<what> needs 4096 bytes, 100 are left", or "cannot read <what>" if the file won't give them.
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
        return Go(position) ? Success() : Expected<void>(Refused(position, Words(what)));
    }
    // Inner-loop reads of a byte or little-endian u16, refilling the buffer when short; a short read fails the reader.
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

    // Untaken buffered bytes, for decoding in place; Take(count) takes at most BufferedSize(). None after a failure.
    const std::uint8_t* BufferedData() const { return buffer_.data() + begin_; }
    std::size_t BufferedSize() const { return end_ - begin_; }
    template <typename What>
    Expected<void> Fill(const What& what) {
        const std::uint64_t position = Position();
        return begin_ != end_ || Refill() ? Success() : Expected<void>(Refused(position, Words(what)));
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
    // "cannot read <what>", with the file's own reason and kind (a stop request is Interrupted) when it refused.
    Error Refused(std::uint64_t position, const std::string& what) const;
    bool Keep(const Expected<void>& done);  // Keeps a refusal of the file's for the reason; false when it failed.
    Error Short(std::uint64_t position, std::uint64_t count, std::uint64_t left, const std::string& what) const;
    // Why reading count bytes at position failed: an earlier failure, only left of them there, or the file refused.
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
    std::uint64_t size_ = kUnknown;  // kUnknown for a stream that can't tell its size
    bool ok_ = true;
    bool shared_ = false;
    std::optional<Error> refusal_;  // Why the file last failed a read or seek.
};

}  // namespace gridport
