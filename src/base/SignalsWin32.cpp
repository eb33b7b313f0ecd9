#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "base/Signals.h"

// Windows only has console events, delivered on a system thread: nothing is held back, no blocked call interrupted.
namespace gridport {

namespace {

std::atomic<bool> installed{false};
std::atomic<bool> stopsCaught{false};
std::atomic<int> stopSignal{0};

int RemoveFile(const char* path) {
    return DeleteFileA(path) ? 0 : -1;
}

void PauseBriefly() {
    Sleep(1);
}

// The first Ctrl-C is a stop request, if asked for; else the files are removed and the system's handler ends it.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT && stopsCaught.load()) {
        int none = 0;
        if (stopSignal.compare_exchange_strong(none, SIGINT)) {
            return TRUE;
        }
    }
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
        event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        temporary_files::RemoveAll(RemoveFile, PauseBriefly);
    }
    return FALSE;
}

void Install() {
    if (!installed.exchange(true)) {
        SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    }
}

}  // namespace

void InstallSignalCleanup(BrokenPipe) {
    Install();
}

void CatchStopRequests() {
    stopsCaught.store(true);
    Install();
}

int StopSignal() noexcept {
    return stopSignal.load();
}

void DieBySignal(int) {
    // What a console process ended by Ctrl-C returns (STATUS_CONTROL_C_EXIT).
    std::_Exit(static_cast<int>(0xC000013AU));
}

void InterruptBlockedCall(std::thread&) noexcept {}

HeldSignals::HeldSignals() noexcept = default;
HeldSignals::~HeldSignals() = default;

}  // namespace gridport
