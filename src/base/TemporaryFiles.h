#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>

// Where signal handlers find the temporary files outputs have open: chunks of entries, each a path in its own buffer,
// taken and given back atomically, so outputs on any thread need no lock and a handler never allocates. An output
// finding every entry taken appends a chunk, lock-free; chunks stay until exit. base/Signals.h's handlers use it.
namespace gridport {

namespace temporary_files {

inline constexpr std::size_t kChunkEntries = 64;  // Entries in a chunk.
inline constexpr std::size_t kPathRoom = 4096;  // The longest path an entry holds, with its terminating zero.

enum State : int {
    kFree,
    kMaking,  // The owner is writing the path or making the file: a handler waits.
    kHeld,  // The file exists under the path.
    // The owner is writing the target in place from the file, which must not end half-written: a handler waits.
    kCopying,
    kRemoving,  // A handler took the entry; it is never given back.
};

struct Entry {
    std::atomic<int> state{kFree};
    char path[kPathRoom] = {};
};

struct Chunk {
    Entry entries[kChunkEntries];
    std::atomic<Chunk*> next{nullptr};
};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<Chunk*>::is_always_lock_free,
              "a signal handler may only use atomics that need no lock");

inline Chunk first;  // The first chunk; the others hang from it.
// Set by the first handler before it looks at the entries; then no entry is taken, as a file made later would stay.
inline std::atomic<bool> stopping{false};

// A free entry, taken (kMaking); a new chunk is appended when none is free. Null when out of memory.
inline Entry* Take() noexcept {
    Chunk* chunk = &first;
    for (;;) {
        for (Entry& entry : chunk->entries) {
            int state = kFree;
            if (entry.state.compare_exchange_strong(state, kMaking)) {
                return &entry;
            }
        }
        Chunk* next = chunk->next.load();
        if (next == nullptr) {
            // Made outside any handler; if another output appends one meanwhile, this one goes and that one is used.
            std::unique_ptr<Chunk> added;
            try {
                added = std::make_unique<Chunk>();
            } catch (const std::bad_alloc&) {
                return nullptr;
            }
            if (chunk->next.compare_exchange_strong(next, added.get())) {
                next = added.release();
            }
        }
        chunk = next;
    }
}

// Removes every entry's file, waiting on entries being made or copied (pause() waits ~1 ms). Atomics only: signal-safe.
inline void RemoveAll(int (*remove)(const char*), void (*pause)()) noexcept {
    stopping.store(true);
    for (Chunk* chunk = &first; chunk != nullptr; chunk = chunk->next.load()) {
        for (Entry& entry : chunk->entries) {
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
}

}  // namespace temporary_files

// One output's registry entry, given back on destruction. The owner makes its file between Begin and Made with
// InstallSignalCleanup's signals held on its thread (HeldSignals), so no handler waits on its own thread.
class TemporaryFileEntry {
public:
    TemporaryFileEntry() = default;
    TemporaryFileEntry(const TemporaryFileEntry&) = delete;
    TemporaryFileEntry& operator=(const TemporaryFileEntry&) = delete;
    ~TemporaryFileEntry() { Forget(); }

    // Takes a free entry for fullPath (independent of the working directory). False when a handler is already removing
    // files: none may be made then. True with nothing held when the path is too long or memory runs out.
    bool Begin(const std::string& fullPath) noexcept {
        using namespace temporary_files;
        Forget();
        Entry* entry = fullPath.size() < kPathRoom ? Take() : nullptr;
        if (entry == nullptr) {
            return !stopping.load();
        }
        // Entry, then flag: a handler that set the flag earlier either sees the entry being made and waits, or is seen.
        if (stopping.load()) {
            entry->state.store(kFree);
            return false;
        }
        std::memcpy(entry->path, fullPath.c_str(), fullPath.size() + 1);
        entry_ = entry;
        return true;
    }

    // The file exists now: a handler removes it.
    void Made() noexcept { Move(temporary_files::kMaking, temporary_files::kHeld); }
    // The file is being copied over its target, which a handler must let end.
    void Copying(bool copying) noexcept {
        using namespace temporary_files;
        copying ? Move(kHeld, kCopying) : Move(kCopying, kHeld);
    }
    // The file is gone, or was never made: the entry is free again, unless a handler took it.
    void Forget() noexcept {
        if (entry_ != nullptr) {
            std::atomic<int>& state = entry_->state;
            int now = state.load();
            if (now != temporary_files::kRemoving) {
                state.compare_exchange_strong(now, temporary_files::kFree);
            }
            entry_ = nullptr;
        }
    }

private:
    void Move(int from, int to) noexcept {
        if (entry_ != nullptr) {
            entry_->state.compare_exchange_strong(from, to);
        }
    }

    temporary_files::Entry* entry_ = nullptr;
};

}  // namespace gridport
