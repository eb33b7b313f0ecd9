#include "batch/Interrupt.h"

#include <atomic>
#if !defined(__wasi__)
#include <csignal>
#endif
#include <cstdlib>

namespace gridport::batch {

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler stores into it");

#if !defined(__wasi__)
extern "C" void OnStopSignal(int signal) {
    RequestStop(signal);
}
#endif

}  // namespace

void RequestStop(int signal) noexcept {
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
}

int StopSignal() noexcept {
    return stopSignal.load();
}

void CatchInterrupts() {
#if defined(__wasi__)
    // WASI has no signals: nothing asks a run to stop.
#else
    std::signal(SIGINT, OnStopSignal);
#ifndef _WIN32
    std::signal(SIGTERM, OnStopSignal);
#endif
#endif
}

void DieBySignal(int signal) {
#if defined(__wasi__)
    std::_Exit(128 + signal);
#elif defined(_WIN32)
    // What a console process ended by Ctrl-C returns (STATUS_CONTROL_C_EXIT).
    (void)signal;
    std::_Exit(static_cast<int>(0xC000013AU));
#else
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
#endif
}

}  // namespace gridport::batch
