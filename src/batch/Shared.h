#pragma once

#include <memory>
#include <utility>

namespace gridport::batch {

// A value held apart and never changed, so that copies share it: a record without one costs a pointer or two, and
// the maps that found one tileset (or the log's lines that name it) hold one copy of its path.
template <typename T>
class Shared {
public:
    Shared() = default;
    Shared(T value) : value_(std::make_shared<const T>(std::move(value))) {}  // as std::optional takes one

    explicit operator bool() const { return value_ != nullptr; }
    const T& operator*() const { return *value_; }
    const T* operator->() const { return value_.get(); }
    T value_or(const T& other) const { return value_ ? *value_ : other; }
    bool operator==(const Shared& other) const {
        return value_ == other.value_ || (value_ && other.value_ && *value_ == *other.value_);
    }

private:
    std::shared_ptr<const T> value_;
};

}  // namespace gridport::batch
