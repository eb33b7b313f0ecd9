#include "support/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace gridport::testing {

// Like a disk, it reports exhausted memory as a failed open or a short write,
// never by throwing.
std::unique_ptr<File> MemoryFileSystem::Open(const std::string& path, OpenMode mode) try {
    if (faults_->Fails(FileOperation::Open)) {
        return nullptr;
    }
    const auto bits = static_cast<std::uint32_t>(mode);
    std::shared_ptr<Bytes> data;
    if ((bits & static_cast<std::uint32_t>(OpenMode::Write)) != 0) {
        data = std::make_shared<Bytes>();
        files_[path] = data;
    } else if ((bits & static_cast<std::uint32_t>(OpenMode::Read)) != 0) {
        const auto found = files_.find(path);
        if (found == files_.end()) {
            return nullptr;
        }
        data = found->second;
    } else {
        return nullptr;
    }
    return std::make_unique<MemoryFile>(std::move(data), openFiles_, faults_);
} catch (const std::bad_alloc&) {
    return nullptr;
}

void MemoryFileSystem::Put(const std::string& path, Bytes bytes) {
    files_[path] = std::make_shared<Bytes>(std::move(bytes));
}

Bytes MemoryFileSystem::Get(const std::string& path) const {
    const auto found = files_.find(path);
    return found == files_.end() ? Bytes{} : *found->second;
}

MemoryFile::MemoryFile(std::shared_ptr<Bytes> data, std::shared_ptr<int> openFiles,
                       std::shared_ptr<FaultPlan> faults)
    : data_(std::move(data)), openFiles_(std::move(openFiles)), faults_(std::move(faults)) {
    ++*openFiles_;
}

MemoryFile::~MemoryFile() {
    if (open_) {
        --*openFiles_;
    }
}

std::uint32_t MemoryFile::Read(void* buffer, std::uint32_t count) {
    const auto size = static_cast<std::int64_t>(data_->size());
    if (faults_->Fails(FileOperation::Read) || !open_ || position_ >= size) {
        return 0;
    }
    const auto available = static_cast<std::uint32_t>(std::min<std::int64_t>(count, size - position_));
    std::memcpy(buffer, data_->data() + position_, available);
    position_ += available;
    return available;
}

std::uint32_t MemoryFile::Write(const void* data, std::uint32_t count) try {
    if (faults_->Fails(FileOperation::Write) || !open_) {
        return 0;
    }
    const auto end = static_cast<std::size_t>(position_) + count;
    if (end > data_->size()) {
        data_->resize(end);
    }
    std::memcpy(data_->data() + position_, data, count);
    position_ = static_cast<std::int64_t>(end);
    return count;
} catch (const std::bad_alloc&) {
    return 0;
}

std::int64_t MemoryFile::Size() {
    return faults_->Fails(FileOperation::Size) || !open_ ? -1 : static_cast<std::int64_t>(data_->size());
}

std::int64_t MemoryFile::Tell() {
    return faults_->Fails(FileOperation::Tell) || !open_ ? -1 : position_;
}

int MemoryFile::Seek(std::int64_t position) {
    if (faults_->Fails(FileOperation::Seek) || !open_ || position < 0) {
        return -1;
    }
    position_ = position;
    return 0;
}

bool MemoryFile::Close() {
    if (!open_) {
        return false;
    }
    open_ = false;
    --*openFiles_;
    return !faults_->Fails(FileOperation::Close);
}

}  // namespace gridport::testing
