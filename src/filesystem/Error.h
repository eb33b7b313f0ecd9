#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace gridport {

// Why an operation failed, for a person to read: the file it concerns, the
// byte offset where the reader stopped when that is known, and one line of
// text. Operations keep their boolean results and fill in an Error that the
// caller hands down. The first failure recorded stays: that is the cause,
// and whatever failed because of it only repeats it.
class Error {
public:
    // Records a failure unless one is recorded already. Returns false, so
    // that a check can end with `return error.Fail(...)`. Never throws: when
    // there is no memory for the text, the failure is still recorded.
    bool Fail(const std::string& file, const std::string& message) noexcept;
    bool Fail(const std::string& file, std::uint64_t offset, const std::string& message) noexcept;
    // A failure of the platform: what was tried ("cannot open") and the
    // system's text for errno.
    bool FailSystem(const std::string& file, const std::string& what, int errnoValue) noexcept;

    bool Failed() const { return failed_; }
    void Clear() noexcept;

    const std::string& File() const { return file_; }
    std::optional<std::uint64_t> Offset() const { return offset_; }
    const std::string& Message() const { return message_; }
    // "town.map: byte 1234: layer 2 ends ...", "town.map: message", or the
    // message alone when no file is named. Empty when nothing failed.
    std::string Text() const;

private:
    bool failed_ = false;
    std::string file_;
    std::optional<std::uint64_t> offset_;
    std::string message_;
};

}  // namespace gridport
