// Inflating where zlib is not built in (Windows, WebAssembly): compressed layer data can't be read there.

#include "tiled/Inflate.h"

namespace gridport {

Expected<void> Inflate(std::string_view /*compressed*/, Compression compression, const InflatedBytes& /*sink*/,
                       const std::string& path, const std::string& what) {
    return Error(path, what + " is " + (compression == Compression::Zlib ? "zlib" : "gzip") +
                           "-compressed, which this build can't read; save the map with uncompressed layer data");
}

}  // namespace gridport
