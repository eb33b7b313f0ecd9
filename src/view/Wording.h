#pragma once

#include <cstdint>
#include <string>

namespace gridport {

// "1 cell", "2 cells", "0 cells".
inline std::string Counted(std::uint64_t count, const std::string& singular, const std::string& plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

// The text in double quotes; bytes that don't print, the quote and the
// backslash as \xNN.
std::string Quoted(const std::string& text);

}  // namespace gridport
