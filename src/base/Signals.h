#pragma once

#include "base/TemporaryFiles.h"
#include "base/Threads.h"

#if GRIDPORT_HAS_THREADS
#include <thread>
#endif
#if !defined(_WIN32) && !defined(__wasi__)
#include <signal.h>
#endif

// What signals do, for every command: one handler, set up below in any order; CMake picks SignalsPosix/Win32/Wasi.
namespace gridport {

// What a broken pipe (SIGPIPE) does: the write fails with EPIPE, or the program ends at once, as filters end.
enum class BrokenPipe { Fails, Ends };

// Sets, once at program start, what signals do. SIGINT, SIGTERM, SIGHUP and SIGQUIT (unless started ignored) remove
// every temporary file (TemporaryFiles.h), then end the program by the same signal, so the status is 128 + N. SIGPIPE
// does the same with BrokenPipe::Ends and is ignored with Fails. SIGXFSZ is ignored: a write past the size limit fails
// with EFBIG. No handler restarts the interrupted call. On Windows, Ctrl-C, Ctrl-Break and closing the console remove
// the files, then the program ends as it would have. SIGKILL can't be caught and leaves the files.
void InstallSignalCleanup(BrokenPipe brokenPipe);

// Makes the first SIGINT, SIGTERM, SIGHUP or SIGQUIT (Ctrl-C or Ctrl-Break on Windows) a stop request: it is recorded and the call it
// interrupts fails with EINTR (Interrupted), so the program winds down and ends by DieBySignal(StopSignal()). A later
// one ends the program at once. Signals ignored at start stay ignored.
void CatchStopRequests();

int StopSignal() noexcept;  // The signal that asked to stop; 0 when none has.
inline bool StopRequested() noexcept {
    return StopSignal() != 0;
}
[[noreturn]] void DieBySignal(int signal);  // Ends the process as the signal would have, its default action restored.

#if GRIDPORT_HAS_THREADS
// After a stop request: that thread's blocking system call, if any, fails with EINTR. Does nothing on Windows.
void InterruptBlockedCall(std::thread& thread) noexcept;
#endif

// Holds back InstallSignalCleanup's signals on this thread while it lives; one that comes meanwhile is handled after.
class HeldSignals {
public:
    HeldSignals() noexcept;
    ~HeldSignals();
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
#if !defined(_WIN32) && !defined(__wasi__)
    sigset_t saved_{};
#endif
};

}  // namespace gridport
