// Preloaded (LD_PRELOAD) into a command under test: its first write to any of its temporary RMP or PNG files (a name
// holding ".rmp.gridport-" or ".png.gridport-") waits for a signal, so every output the command opens stays open and unfinished until then.
// The write then fails as an interrupted one (EINTR); the command's own handlers do the rest.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

extern "C" std::size_t fwrite(const void* data, std::size_t size, std::size_t count, std::FILE* stream) {
    using Write = std::size_t (*)(const void*, std::size_t, std::size_t, std::FILE*);
    static const auto real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "fwrite"));
    char link[64];
    char target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fileno(stream));
    const ssize_t length = readlink(link, target, sizeof target);
    const auto holds = [&](const char* name) {
        return length > 0 && memmem(target, static_cast<std::size_t>(length), name, std::strlen(name)) != nullptr;
    };
    if (holds(".rmp.gridport-") || holds(".png.gridport-")) {
        pause();
        errno = EINTR;
        return 0;
    }
    return real(data, size, count, stream);
}
