#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "base/Signals.h"

namespace gridport {

namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

std::atomic<bool> stopsCaught{false};
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler stores into it");

void PauseBriefly() {
    poll(nullptr, 0, 1);
}

// Whether the signal came from this process's own InterruptBlockedCall (or raise), not a terminal or other process.
bool SentHere(const siginfo_t* info) {
#ifdef SI_TKILL
    return info != nullptr && info->si_code == SI_TKILL && info->si_pid == getpid();
#else
    return info != nullptr && info->si_code == SI_USER && info->si_pid == getpid();
#endif
}

// The first stop signal is recorded and fails the call it interrupted; InterruptBlockedCall's then only interrupt. Any
// other removes the temporary files and re-raises itself with the default action, ending the program on return.
void OnSignal(int number, siginfo_t* info, void*) {
    if (number != SIGPIPE && stopsCaught.load()) {
        int none = 0;
        if (stopSignal.compare_exchange_strong(none, number) || SentHere(info)) {
            return;
        }
    }
    temporary_files::RemoveAll(unlink, PauseBriefly);
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    sigaction(number, &plain, nullptr);
    raise(number);
}

// Hands number to OnSignal unless it was ignored at start (nohup, a script's background job). Repeats change nothing.
void Take(int number) {
    struct sigaction was {};
    if (sigaction(number, nullptr, &was) != 0 || (!(was.sa_flags & SA_SIGINFO) && was.sa_handler == SIG_IGN)) {
        return;
    }
    struct sigaction handled {};
    handled.sa_sigaction = OnSignal;
    handled.sa_flags = SA_SIGINFO;  // Without SA_RESTART: a blocked open or read fails with EINTR.
    sigemptyset(&handled.sa_mask);
    // One handler at a time on a thread: a second signal waits for the first to end the program.
    for (const int held : kCleanupSignals) {
        sigaddset(&handled.sa_mask, held);
    }
    sigaction(number, &handled, nullptr);
}

void Set(int number, void (*handler)(int)) {  // SIG_IGN or SIG_DFL
    struct sigaction plain {};
    plain.sa_handler = handler;
    sigemptyset(&plain.sa_mask);
    sigaction(number, &plain, nullptr);
}

}  // namespace

void InstallSignalCleanup(BrokenPipe brokenPipe) {
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        Take(number);
    }
    Set(SIGXFSZ, SIG_IGN);
    if (brokenPipe == BrokenPipe::Ends) {
        Take(SIGPIPE);
    } else {
        Set(SIGPIPE, SIG_IGN);
    }
}

void CatchStopRequests() {
    stopsCaught.store(true);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        Take(number);
    }
}

int StopSignal() noexcept {
    return stopSignal.load();
}

void DieBySignal(int signal) {
    Set(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    std::_Exit(128 + signal);
}

void InterruptBlockedCall(std::thread& thread) noexcept {
    if (const int signal = StopSignal(); signal != 0 && thread.joinable()) {
        pthread_kill(thread.native_handle(), signal);
    }
}

HeldSignals::HeldSignals() noexcept {
    sigset_t held;
    sigemptyset(&held);
    for (const int number : kCleanupSignals) {
        sigaddset(&held, number);
    }
    pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

HeldSignals::~HeldSignals() {
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace gridport
