#include "filesystem/BufferedReader.h"

#include <algorithm>
#include <cstring>

#include "filesystem/Counted.h"

namespace gridport {

namespace {

// File::Read takes 32-bit counts; larger requests go in pieces.
constexpr std::size_t kLargestRead = std::size_t{1} << 30;

}  // namespace

BufferedReader::BufferedReader(File& file, std::size_t capacity)
    : file_(file), buffer_(capacity) {
    const std::int64_t position = file_.Tell();
    const std::int64_t size = file_.Size();
    if (position < 0 || size < 0) {
        ok_ = false;
        return;
    }
    filePosition_ = position;
    remaining_ = size > position ? static_cast<std::uint64_t>(size - position) : 0;
}

bool BufferedReader::Fail() {
    ok_ = false;
    begin_ = end_ = 0;
    remaining_ = 0;
    return false;
}

bool BufferedReader::Refill() {
    if (!ok_ || remaining_ == 0) {
        return Fail();
    }
    const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(buffer_.size(), remaining_));
    const std::uint32_t got = file_.Read(buffer_.data(), want);
    if (got == 0) {
        return Fail();
    }
    begin_ = 0;
    end_ = got;
    filePosition_ += got;
    return true;
}

bool BufferedReader::Read(void* destination, std::size_t count) {
    if (!ok_ || count > remaining_) {
        return Fail();
    }
    auto* out = static_cast<std::uint8_t*>(destination);
    const std::size_t buffered = std::min(count, end_ - begin_);
    if (buffered > 0) {
        std::memcpy(out, buffer_.data() + begin_, buffered);
        begin_ += buffered;
        remaining_ -= buffered;
        out += buffered;
        count -= buffered;
    }
    // Large blocks go straight from the file to their destination.
    while (count >= buffer_.size()) {
        const auto piece = static_cast<std::uint32_t>(std::min(count, kLargestRead));
        if (file_.Read(out, piece) != piece) {
            return Fail();
        }
        filePosition_ += piece;
        remaining_ -= piece;
        out += piece;
        count -= piece;
    }
    while (count > 0) {
        if (begin_ == end_ && !Refill()) {
            return false;
        }
        const std::size_t piece = std::min(count, end_ - begin_);
        std::memcpy(out, buffer_.data() + begin_, piece);
        begin_ += piece;
        remaining_ -= piece;
        out += piece;
        count -= piece;
    }
    return true;
}

bool BufferedReader::Skip(std::uint64_t count) {
    if (!ok_ || count > remaining_) {
        return Fail();
    }
    const std::uint64_t buffered = end_ - begin_;
    if (count <= buffered) {
        begin_ += static_cast<std::size_t>(count);
        remaining_ -= count;
        return true;
    }
    const std::uint64_t beyond = count - buffered;
    begin_ = end_ = 0;
    if (file_.Seek(filePosition_ + static_cast<std::int64_t>(beyond)) != 0) {
        return Fail();
    }
    filePosition_ += static_cast<std::int64_t>(beyond);
    remaining_ -= count;
    return true;
}

bool BufferedReader::Need(std::uint64_t count, const std::string& path, const std::string& what,
                          Error& error) const {
    if (!ok_) {
        return error.Fail(path, Position(), "cannot read " + what);
    }
    if (count <= remaining_) {
        return true;
    }
    return error.Fail(path, Position(),
                      what + " needs " + Counted(count, "byte") + ", " + std::to_string(remaining_) +
                          (remaining_ == 1 ? " is left" : " are left"));
}

bool BufferedReader::Read(void* destination, std::size_t count, const std::string& path, const std::string& what,
                          Error& error) {
    const std::uint64_t position = Position();
    return Need(count, path, what, error) &&
           (Read(destination, count) || error.Fail(path, position, "cannot read " + what));
}

bool BufferedReader::Skip(std::uint64_t count, const std::string& path, const std::string& what, Error& error) {
    const std::uint64_t position = Position();
    return Need(count, path, what, error) && (Skip(count) || error.Fail(path, position, "cannot read " + what));
}

}  // namespace gridport
