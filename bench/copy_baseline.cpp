// The benchmark's baseline: only the I/O a conversion can't avoid. Reads
// every input file through a 1 MiB buffer and writes a file of exactly
// OUTBYTES bytes, taken from what was read. With --replace it writes them
// as gridport does, into a new file beside OUTPUT that then replaces it,
// starting every 4 MiB on its way to the disk as it goes, so the safe
// replacement's own cost shows apart from the conversion's.
//
//   copy_baseline [--replace] OUTBYTES OUTPUT INPUT...

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef __linux__
#include <fcntl.h>
#endif

// Starts count bytes of out, from offset on, on their way to the disk.
void StartWriteback([[maybe_unused]] std::FILE* out, [[maybe_unused]] std::uint64_t offset,
                    [[maybe_unused]] std::uint64_t count) {
#ifdef __linux__
    sync_file_range(fileno(out), static_cast<std::int64_t>(offset), static_cast<std::int64_t>(count),
                    SYNC_FILE_RANGE_WRITE);
#endif
}

int main(int argc, char** argv) {
    const bool replace = argc > 1 && std::strcmp(argv[1], "--replace") == 0;
    if (replace) {
        --argc;
        ++argv;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: copy_baseline [--replace] OUTBYTES OUTPUT INPUT...\n");
        return 2;
    }
    constexpr std::size_t kBufferSize = std::size_t{1} << 20;
    std::vector<unsigned char> buffer(kBufferSize);
    for (int i = 3; i < argc; ++i) {
        std::FILE* in = std::fopen(argv[i], "rb");
        if (in == nullptr) {
            std::fprintf(stderr, "cannot open %s\n", argv[i]);
            return 1;
        }
        while (std::fread(buffer.data(), 1, buffer.size(), in) == buffer.size()) {
        }
        std::fclose(in);
    }
    const std::string written = replace ? std::string(argv[2]) + ".new" : argv[2];
    std::FILE* out = std::fopen(written.c_str(), "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    std::uint64_t left = std::strtoull(argv[1], nullptr, 10);
    std::uint64_t done = 0;
    std::uint64_t sent = 0;
    bool ok = true;
    while (left > 0 && ok) {
        const std::size_t piece = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
        ok = std::fwrite(buffer.data(), 1, piece, out) == piece;
        left -= piece;
        done += piece;
        if (replace && done - sent >= (std::uint64_t{4} << 20)) {
            StartWriteback(out, sent, done - sent);
            sent = done;
        }
    }
    ok = std::fclose(out) == 0 && ok;
    if (ok && replace) {
        ok = std::rename(written.c_str(), argv[2]) == 0;
    }
    return ok ? 0 : 1;
}
