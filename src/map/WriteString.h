#pragma once

#include <string_view>

#include "filesystem/BufferedWriter.h"
#include "filesystem/File.h"

namespace gridport {

// An RMP string: a 16-bit length, then that many bytes, no terminator. The
// text ends at its first zero byte; a length over 65535 is written modulo
// 65536, with that many bytes, so the file stays well-formed.
void WriteString(BufferedWriter& out, std::string_view text);
// The same, straight to a file; false when the write falls short.
[[nodiscard]] bool WriteString(File& file, std::string_view text);

}  // namespace gridport
