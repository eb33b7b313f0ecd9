#include "base/Error.h"

#include <cerrno>
#include <cstring>

namespace gridport {

Error Error::System(std::string path, const std::string& what, int errnoValue) {
    Error error(errnoValue == EINTR ? ErrorKind::Interrupted : ErrorKind::System, std::move(path),
                what + ": " + std::strerror(errnoValue));
    error.cause_ = errnoValue;
    return error;
}

std::string Error::Text() const {
    std::string text = message_;
    if (offset_) {
        text = "byte " + std::to_string(*offset_) + ": " + text;
    }
    return path_.empty() ? text : path_ + ": " + text;
}

}  // namespace gridport
