#include "filesystem/Error.h"

#include <cstring>
#include <new>

namespace gridport {

bool Error::Fail(const std::string& file, const std::string& message) noexcept {
    if (failed_) {
        return false;
    }
    failed_ = true;
    try {
        file_ = file;
        message_ = message;
    } catch (const std::bad_alloc&) {
        file_.clear();
        message_.clear();
    }
    return false;
}

bool Error::Fail(const std::string& file, std::uint64_t offset, const std::string& message) noexcept {
    if (failed_) {
        return false;
    }
    Fail(file, message);
    offset_ = offset;
    return false;
}

bool Error::FailSystem(const std::string& file, const std::string& what, int errnoValue) noexcept {
    if (failed_) {
        return false;
    }
    try {
        return Fail(file, what + ": " + std::strerror(errnoValue));
    } catch (const std::bad_alloc&) {
        return Fail(file, what);
    }
}

void Error::Clear() noexcept {
    failed_ = false;
    file_.clear();
    offset_.reset();
    message_.clear();
}

std::string Error::Text() const {
    if (!failed_) {
        return {};
    }
    // Only an allocation failure leaves a recorded failure without text.
    std::string text = message_.empty() ? std::string("out of memory") : message_;
    if (offset_) {
        text = "byte " + std::to_string(*offset_) + ": " + text;
    }
    return file_.empty() ? text : file_ + ": " + text;
}

}  // namespace gridport
