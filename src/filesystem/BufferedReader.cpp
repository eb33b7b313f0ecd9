#include "filesystem/BufferedReader.h"

#include <algorithm>
#include <cstring>

#include "base/Counted.h"

namespace gridport {

BufferedReader::BufferedReader(File& file, std::string path, std::size_t capacity)
    : file_(file), path_(std::move(path)), buffer_(capacity) {
    const Expected<std::uint64_t> position = file_.Tell();
    const Expected<std::uint64_t> size = file_.Size();
    // A pipe tells neither position nor size: it is read from here, counted from 0. A file telling just one has failed.
    if (!position != !size) {
        Fail();
        return;
    }
    filePosition_ = position ? *position : 0;
    remaining_ = !size ? kUnknown : *size > filePosition_ ? *size - filePosition_ : 0;
    size_ = !size ? kUnknown : filePosition_ + remaining_;
}

bool BufferedReader::Go(std::uint64_t position) {
    if (position >= Position()) {
        return Pass(position - Position());
    }
    // Back within the buffer, which holds the bytes before filePosition_: they are read again from there.
    if (ok_ && size_ != kUnknown && position >= filePosition_ - end_) {
        const std::uint64_t back = Position() - position;
        begin_ -= static_cast<std::size_t>(back);
        remaining_ += back;
        return true;
    }
    if (size_ == kUnknown || position > size_ || (!shared_ && !Keep(file_.Seek(position)))) {
        return Fail();
    }
    ok_ = true;
    begin_ = end_ = 0;
    filePosition_ = position;
    remaining_ = size_ - position;
    return true;
}

bool BufferedReader::Fail() {
    ok_ = false;
    begin_ = end_ = 0;
    remaining_ = 0;
    return false;
}

bool BufferedReader::ReadFile(std::uint8_t* out, std::size_t count, std::size_t& got) {
    got = 0;
    if (shared_ && !Keep(file_.Seek(filePosition_))) {
        return false;
    }
    const Expected<std::size_t> arrived = file_.Read(out, count);
    if (!arrived) {
        refusal_ = arrived.error();
        return false;
    }
    got = *arrived;
    filePosition_ += got;
    if (got != count) {
        // The end of a stream of unknown size: what it held is known now.
        if (remaining_ == kUnknown) {
            remaining_ = got;
        }
        return false;
    }
    return true;
}

bool BufferedReader::Refill() {
    if (!ok_ || remaining_ == 0) {
        return Fail();
    }
    std::size_t got = 0;
    (void)ReadFile(buffer_.data(), static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), remaining_)), got);
    if (got == 0) {
        return Fail();
    }
    begin_ = 0;
    end_ = got;
    return true;
}

bool BufferedReader::Copy(void* destination, std::size_t count) {
    if (!ok_ || count > remaining_) {
        return Fail();
    }
    auto* out = static_cast<std::uint8_t*>(destination);
    // Large blocks bypass the buffer once it is drained, so the next large block bypasses it too.
    const bool large = count >= buffer_.size();
    const std::size_t buffered = std::min(count, end_ - begin_);
    std::memcpy(out, buffer_.data() + begin_, buffered);
    Take(buffered);
    out += buffered;
    count -= buffered;
    if (large && count > 0) {
        begin_ = end_ = 0;  // The buffer no longer ends at filePosition_.
        std::size_t got = 0;
        const bool whole = ReadFile(out, count, got);
        if (remaining_ != kUnknown) {
            remaining_ -= std::min<std::uint64_t>(got, remaining_);
        }
        return whole || Fail();
    }
    while (count > 0) {
        if (begin_ == end_ && !Refill()) {
            return false;
        }
        const std::size_t piece = std::min(count, end_ - begin_);
        std::memcpy(out, buffer_.data() + begin_, piece);
        Take(piece);
        out += piece;
        count -= piece;
    }
    return true;
}

bool BufferedReader::Pass(std::uint64_t count) {
    if (!ok_ || count > remaining_) {
        return Fail();
    }
    const std::uint64_t buffered = end_ - begin_;
    if (count <= buffered) {
        Take(static_cast<std::size_t>(count));
        return true;
    }
    Take(static_cast<std::size_t>(buffered));
    count -= buffered;
    begin_ = end_ = 0;
    if (remaining_ == kUnknown) {
        // A stream that can't seek is read through.
        std::uint8_t scratch[4096];
        for (; count > 0;) {
            const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scratch));
            if (!Copy(scratch, piece)) {
                return false;
            }
            count -= piece;
        }
        return true;
    }
    if (!shared_ && !Keep(file_.Seek(filePosition_ + count))) {
        return Fail();
    }
    filePosition_ += count;
    remaining_ -= count;
    return true;
}

bool BufferedReader::Keep(const Expected<void>& done) {
    if (!done) {
        refusal_ = done.error();
    }
    return static_cast<bool>(done);
}

Error BufferedReader::Refused(std::uint64_t position, const std::string& what) const {
    if (!refusal_ || refusal_->Cause() == 0) {
        return Fail(position, "cannot read " + what);
    }
    return Fail(position, "cannot read " + what + ": " + std::strerror(refusal_->Cause())).As(refusal_->Kind());
}

Error BufferedReader::Short(std::uint64_t position, std::uint64_t count, std::uint64_t left,
                            const std::string& what) const {
    return Fail(position, what + " needs " + Counted(count, "byte") + ", " + std::to_string(left) +
                              (left == 1 ? " is left" : " are left"));
}

Expected<void> BufferedReader::Need(std::uint64_t count, const std::string& what) const {
    if (!ok_) {
        return Refused(Position(), what);
    }
    if (count <= remaining_) {
        return Success();
    }
    return Short(Position(), count, remaining_, what);
}

Error BufferedReader::ReadFailure(bool wasOk, std::uint64_t position, std::uint64_t count, std::uint64_t left,
                                  const std::string& what) const {
    if (!wasOk) {
        return Refused(position, what);
    }
    if (left == kUnknown) {
        // A stream of unknown size has ended: it held what it gave.
        return Short(position, count, Delivered() - position, what);
    }
    return count > left ? Short(position, count, left, what) : Refused(position, what);
}

Expected<void> BufferedReader::Skip(std::uint64_t count, const std::string& what) {
    const std::uint64_t position = Position();
    const bool unknown = remaining_ == kUnknown;
    if (Expected<void> need = Need(count, what); !need) {
        return need;
    }
    if (Pass(count)) {
        return Success();
    }
    return unknown ? Short(position, count, Delivered() - position, what) : Refused(position, what);
}

}  // namespace gridport
