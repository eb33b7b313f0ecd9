#pragma once

#include <string>

#include "rmp/RmpDocument.h"

namespace gridport {

// A short account of a read RMP file, several lines ending in a line break:
// the header values, the strings that aren't empty, one line per layer, the
// entity and zone counts and the tileset's tile size and count. Bytes that
// don't print are shown as \xNN.
std::string Summarize(const std::string& path, const RmpDocument& document);

}  // namespace gridport
