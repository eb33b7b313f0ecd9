// Inflating with zlib: its stream fed the whole input, drained through a fixed block.

#include <zlib.h>

#include <climits>

#include "tiled/Inflate.h"

namespace gridport {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

// zlib's stream, ended however the inflating ends.
struct Stream {
    z_stream z{};
    bool open = false;
    ~Stream() {
        if (open) {
            inflateEnd(&z);
        }
    }
};

}  // namespace

Expected<void> Inflate(std::string_view compressed, Compression compression, const InflatedBytes& sink,
                       const std::string& path, const std::string& what) {
    const std::string name = compression == Compression::Zlib ? "zlib" : "gzip";
    if (compressed.size() > UINT_MAX) {
        return Error(ErrorKind::Limit, path, what + " is too large to inflate");
    }
    Stream stream;
    // 15 window bits, plus 16 for gzip's header and trailer instead of zlib's.
    if (inflateInit2(&stream.z, compression == Compression::Zlib ? 15 : 15 + 16) != Z_OK) {
        return Error(ErrorKind::System, path, "out of memory to inflate " + what);
    }
    stream.open = true;
    stream.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.z.avail_in = static_cast<uInt>(compressed.size());
    std::uint8_t block[kBlock];
    for (;;) {
        stream.z.next_out = block;
        stream.z.avail_out = kBlock;
        const int status = inflate(&stream.z, Z_NO_FLUSH);
        const std::size_t produced = kBlock - stream.z.avail_out;
        if (produced > 0) {
            if (Expected<void> taken = sink(block, produced); !taken) {
                return taken;
            }
        }
        if (status == Z_STREAM_END) {
            break;
        }
        if (status == Z_NEED_DICT || status == Z_DATA_ERROR) {
            return Error(path, what + " is not valid " + name + " data" +
                                   (stream.z.msg != nullptr ? std::string(" (") + stream.z.msg + ")" : ""));
        }
        if (status == Z_MEM_ERROR) {
            return Error(ErrorKind::System, path, "out of memory to inflate " + what);
        }
        if (status == Z_BUF_ERROR || (status == Z_OK && produced == 0 && stream.z.avail_in == 0)) {
            return Error(path, what + " ends before its " + name + " stream does");
        }
    }
    if (stream.z.avail_in != 0) {
        return Error(path, what + " holds bytes after its " + name + " stream");
    }
    return Success();
}

}  // namespace gridport
