#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace gridport {

// The kind of failure, for a caller that acts on it: a command exits 2 for Usage and by the signal for Interrupted.
enum class ErrorKind {
    Usage,        // the command line asks for what can't be done
    Input,        // a file read doesn't hold what its format allows
    Output,       // what was asked can't be written
    Limit,        // a size or count beyond what a format or a limit holds
    Interrupted,  // a stop was asked (a signal) while the operation ran
    System,       // the platform refused (a file that can't be opened, a full disk)
};

// Why an operation failed, for a person: the file, the byte offset where the reader stopped when known, one line of
// text, and the kind. Every operation that can fail returns it in an Expected.
class Error {
public:
    Error(std::string path, std::string message) : path_(std::move(path)), message_(std::move(message)) {}
    Error(std::string path, std::uint64_t offset, std::string message)
        : path_(std::move(path)), offset_(offset), message_(std::move(message)) {}
    Error(ErrorKind kind, std::string path, std::string message)
        : kind_(kind), path_(std::move(path)), message_(std::move(message)) {}
    // A failure of the platform: what was tried ("cannot open") and the system's text for errno; Interrupted for EINTR.
    static Error System(std::string path, const std::string& what, int errnoValue);

    ErrorKind Kind() const { return kind_; }
    // The same failure as another kind, such as a reader's error that a command's option caused (Usage).
    Error As(ErrorKind kind) const {
        Error error = *this;
        error.kind_ = kind;
        return error;
    }
    const std::string& Path() const { return path_; }
    std::optional<std::uint64_t> Offset() const { return offset_; }
    const std::string& Message() const { return message_; }
    // The errno value behind a platform failure (Error::System), for a caller that tries another way; 0 for others.
    int Cause() const { return cause_; }
    // "town.map: byte 1234: layer 2 ends ...", "town.map: message", or the message alone when no file is named.
    std::string Text() const;

private:
    ErrorKind kind_ = ErrorKind::Input;
    std::string path_;
    std::optional<std::uint64_t> offset_;
    std::string message_;
    int cause_ = 0;
};

// A value or the Error that kept it from being made; [[nodiscard]], so a result that can fail must be looked at.
template <typename T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(Error error) : state_(std::in_place_index<1>, std::move(error)) {}
    // From anything a T is made of, such as a std::unique_ptr to a derived class.
    template <typename U>
        requires(std::is_constructible_v<T, U &&> && !std::is_same_v<std::decay_t<U>, T> &&
                 !std::is_same_v<std::decay_t<U>, Error> && !std::is_same_v<std::decay_t<U>, Expected>)
    Expected(U&& value) : state_(std::in_place_index<0>, T(std::forward<U>(value))) {}

    explicit operator bool() const { return state_.index() == 0; }
    T& operator*() { return std::get<0>(state_); }
    const T& operator*() const { return std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    const Error& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Expected<void> {
public:
    Expected() = default;
    Expected(Error error) : error_(std::move(error)) {}

    explicit operator bool() const { return !error_; }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

inline Expected<void> Success() {
    return {};
}

}  // namespace gridport
