#include "filesystem/BufferedWriter.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"

namespace gridport {

BufferedWriter::BufferedWriter(File& file, std::size_t capacity)
    : file_(file), buffer_(std::max<std::size_t>(capacity, 8)) {}

void BufferedWriter::WriteThrough(const std::uint8_t* data, std::size_t count) {
    (void)file_.Write(data, count);  // a failed write is the output's to report at Commit
}

void BufferedWriter::Drain() {
    WriteThrough(buffer_.data(), used_);
    used_ = 0;
}

std::uint8_t* BufferedWriter::Room(std::size_t count) {
    if (buffer_.size() - used_ < count) {
        Drain();
    }
    std::uint8_t* place = buffer_.data() + used_;
    used_ += count;
    return place;
}

void BufferedWriter::PutU16(std::uint32_t value) {
    StoreU16(Room(2), value);
}

void BufferedWriter::PutBytes(const void* data, std::size_t count) {
    // An empty vector or string view may have null data, which memcpy must not see even for no bytes.
    if (count == 0) {
        return;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (count >= buffer_.size()) {
        Drain();
        WriteThrough(bytes, count);
        return;
    }
    std::memcpy(Room(count), bytes, count);
}

void BufferedWriter::PutZeros(std::size_t count) {
    while (count > 0) {
        const std::size_t piece = std::min(count, buffer_.size());
        std::memset(Room(piece), 0, piece);
        count -= piece;
    }
}

std::uint8_t* BufferedWriter::Reserve(std::size_t count) {
    if (buffer_.size() - used_ < count) {
        Drain();
        if (buffer_.size() < count) {
            buffer_.resize(count);
        }
    }
    return buffer_.data() + used_;
}

void BufferedWriter::Flush() {
    Drain();
}

}  // namespace gridport
