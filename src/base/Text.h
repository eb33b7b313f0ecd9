#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace gridport {

// The one letter-case folding: ASCII capitals made small, other bytes kept (as Windows names and endings compare).
constexpr char LowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return LowerCase(x) == LowerCase(y); });
}

inline bool EndsWithIgnoringCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && SameIgnoringCase(text.substr(text.size() - ending.size()), ending);
}

// The name folded, the key under which SameIgnoringCase finds it.
inline std::string LowerCaseKey(std::string_view name) {
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), LowerCase);
    return key;
}

// Whether text is well-formed UTF-8: no stray or missing continuation byte, no overlong form, surrogate or code point
// beyond U+10FFFF.
bool IsUtf8(std::string_view text);
// The text with each byte that doesn't start a well-formed UTF-8 sequence replaced by U+FFFD.
std::string ReplacingBadUtf8(std::string_view text);
// The bytes in base64 (RFC 4648, padded).
std::string Base64(std::string_view bytes);

}  // namespace gridport
