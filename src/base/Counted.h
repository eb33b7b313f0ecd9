#pragma once

#include <cstdint>
#include <string>

namespace gridport {

// "1 cell", "2 cells", "0 cells": a count with its noun in the right number.
inline std::string Counted(std::uint64_t count, const std::string& singular, const std::string& plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

// The same for a noun that takes a plain "s".
inline std::string Counted(std::uint64_t count, const std::string& noun) {
    return Counted(count, noun, noun + "s");
}

// "the 100-byte version-1 header": a part of a file by its size.
inline std::string Sized(std::uint64_t bytes, const std::string& part) {
    return "the " + std::to_string(bytes) + "-byte " + part;
}

}  // namespace gridport
