#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/Error.h"

namespace gridport {

enum class Compression { Zlib, Gzip };

// Gives on the bytes inflated so far, in blocks; its error stops the inflating and is Inflate's.
using InflatedBytes = std::function<Expected<void>(const std::uint8_t* bytes, std::size_t count)>;

// Inflates zlib or gzip data in blocks of a fixed size, so memory stays the same however much comes out. Damaged data,
// data that ends early, or bytes left after the compressed stream fail with why, named by path and what ("layer
// "ground"'s data"). Where zlib is not built in, every call fails with that reason.
Expected<void> Inflate(std::string_view compressed, Compression compression, const InflatedBytes& sink,
                       const std::string& path, const std::string& what);

}  // namespace gridport
