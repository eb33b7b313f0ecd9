#pragma once

// What code shared between threads locks with. WASI programs run on one thread, and their C++ library has neither
// <thread> nor <mutex>: there GRIDPORT_HAS_THREADS is 0 and the lock is a stand-in that does nothing.

#if defined(__wasi__)
#define GRIDPORT_HAS_THREADS 0
#else
#define GRIDPORT_HAS_THREADS 1
#include <mutex>
#endif

namespace gridport {

#if GRIDPORT_HAS_THREADS
using Mutex = std::mutex;
using MutexLock = std::lock_guard<std::mutex>;
#else
struct Mutex {};
class MutexLock {
public:
    explicit MutexLock(Mutex&) {}
};
#endif

}  // namespace gridport
