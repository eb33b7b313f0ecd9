#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>

// The temporary files that outputs have open, where a signal handler can
// find them: a fixed table of entries, each a path in a buffer of its own,
// taken and given back with atomic operations, so that outputs on any number
// of threads use it without a lock and a handler reads it without
// allocating. InstallSignalCleanup (PlatformFiles*.cpp) sets the handlers
// that remove every file in the table before the program dies.
namespace gridport {

namespace temporary_files {

// Outputs open at once that the table holds; an output beyond them still
// works, but a signal leaves its temporary file behind.
inline constexpr std::size_t kEntries = 128;
// The longest path an entry holds, with its terminating zero.
inline constexpr std::size_t kPathRoom = 4096;

enum State : int {
    kFree,
    // The owner is writing the path or making the file: a handler waits.
    kMaking,
    // The file exists under the path.
    kHeld,
    // The owner is writing the target in place from the file, which must
    // not end half-written: a handler waits.
    kCopying,
    // A handler took the entry; it is never given back.
    kRemoving,
};

struct Entry {
    std::atomic<int> state{kFree};
    char path[kPathRoom] = {};
};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "a signal handler may only use atomics that need no lock");

inline Entry table[kEntries];
// Set by the first handler before it looks at the table. Once it is set no
// entry is taken: a file made after the handler passed its entry would stay.
inline std::atomic<bool> stopping{false};

// Removes the file of every entry, waiting for entries that are being made
// or copied; pause() waits about a millisecond. Only atomics, the two
// functions given and nothing else: it runs in a signal handler.
inline void RemoveAll(int (*remove)(const char*), void (*pause)()) noexcept {
    stopping.store(true);
    for (Entry& entry : table) {
        for (;;) {
            int state = entry.state.load();
            if (state == kMaking || state == kCopying) {
                pause();
                continue;
            }
            if (state == kHeld && !entry.state.compare_exchange_strong(state, kRemoving)) {
                continue;
            }
            if (state == kHeld) {
                remove(entry.path);
            }
            break;
        }
    }
}

}  // namespace temporary_files

// What a broken pipe (SIGPIPE) does: the write fails with EPIPE, or the
// program ends at once, as filters end.
enum class BrokenPipe { Fails, Ends };

// Sets, once at the start of a program, what its signals do. SIGINT,
// SIGTERM, SIGHUP and SIGQUIT (each unless the program started with it
// ignored) remove every file in the table, then end the program by the same
// signal, so that its status is 128 + N as though nothing had handled it.
// SIGPIPE does the same with BrokenPipe::Ends, and is ignored with Fails.
// SIGXFSZ is ignored: a write beyond the file-size limit fails with EFBIG as
// any write that fails. On Windows, Ctrl-C, Ctrl-Break and closing the
// console remove the files, then the program ends as it would have.
// SIGKILL can't be caught: it leaves the file behind.
void InstallSignalCleanup(BrokenPipe brokenPipe);

// One output's entry in the table, given back when the object goes. The
// owner makes its file between Begin and Made, and keeps the signals of
// InstallSignalCleanup held back on its thread meanwhile (platform::
// HeldSignals), so that no handler waits on its own thread.
class TemporaryFileEntry {
public:
    TemporaryFileEntry() = default;
    TemporaryFileEntry(const TemporaryFileEntry&) = delete;
    TemporaryFileEntry& operator=(const TemporaryFileEntry&) = delete;
    ~TemporaryFileEntry() { Forget(); }

    // Takes a free entry for fullPath, a path that stays right whatever the
    // working directory. False when a handler is already removing the files:
    // no file may be made then. When no entry is free or the path is too
    // long, it is true and nothing is held.
    bool Begin(const std::string& fullPath) noexcept {
        using namespace temporary_files;
        Forget();
        if (fullPath.size() >= kPathRoom) {
            return !stopping.load();
        }
        for (std::size_t i = 0; i < kEntries; ++i) {
            int state = kFree;
            if (table[i].state.compare_exchange_strong(state, kMaking)) {
                // Taken first, then the flag: a handler that set the flag
                // before the entry was taken either sees the entry being made
                // and waits, or is seen here.
                if (stopping.load()) {
                    table[i].state.store(kFree);
                    return false;
                }
                std::memcpy(table[i].path, fullPath.c_str(), fullPath.size() + 1);
                index_ = static_cast<int>(i);
                return true;
            }
        }
        return !stopping.load();
    }

    // The file exists now: a handler removes it.
    void Made() noexcept { Move(temporary_files::kMaking, temporary_files::kHeld); }
    // The file is being copied over its target, which a handler must let end.
    void Copying(bool copying) noexcept {
        using namespace temporary_files;
        copying ? Move(kHeld, kCopying) : Move(kCopying, kHeld);
    }
    // The file is gone, or was never made: the entry is free again, unless
    // a handler took it.
    void Forget() noexcept {
        if (index_ >= 0) {
            std::atomic<int>& state = temporary_files::table[index_].state;
            int now = state.load();
            if (now != temporary_files::kRemoving) {
                state.compare_exchange_strong(now, temporary_files::kFree);
            }
            index_ = -1;
        }
    }

private:
    void Move(int from, int to) noexcept {
        if (index_ >= 0) {
            temporary_files::table[index_].state.compare_exchange_strong(from, to);
        }
    }

    int index_ = -1;
};

}  // namespace gridport
