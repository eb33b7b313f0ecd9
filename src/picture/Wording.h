#pragma once

#include <string>

#include "base/Counted.h"

namespace gridport {

// The text in double quotes; bytes that don't print, the quote and the backslash as \xNN.
std::string Quoted(const std::string& text);

}  // namespace gridport
