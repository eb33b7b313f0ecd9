#pragma once

#include <cstdint>
#include <string>

namespace gridport {

// "1 cell", "2 cells": a count with its noun in the right number. Nouns
// here take a plain "s".
inline std::string Counted(std::uint64_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace gridport
