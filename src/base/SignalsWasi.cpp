#include <cstdlib>

#include "base/Signals.h"

// WASI has no signals: nothing asks a program to stop, and nothing is removed on the way out.
namespace gridport {

void InstallSignalCleanup(BrokenPipe) {}

void CatchStopRequests() {}

int StopSignal() noexcept {
    return 0;
}

void DieBySignal(int signal) {
    std::_Exit(128 + signal);
}

HeldSignals::HeldSignals() noexcept = default;
HeldSignals::~HeldSignals() = default;

}  // namespace gridport
