#pragma once

// Ctrl-C and termination requests during a batch. The handler only records
// the signal; the workers see it between maps and through their sink, stop
// writing, and leave their uncommitted outputs to remove their temporary
// files. The command prints its summary, then dies by the signal.

namespace gridport::batch {

// Installs the handler for SIGINT and SIGTERM (SIGINT alone on Windows;
// none under WASI, which has no signals).
void CatchInterrupts();
// Records a stop request: what the handler does, and all it does, so that
// another handler (such as one that removes temporary files) can chain to
// it. Safe in a signal handler.
void RequestStop(int signal) noexcept;
// The signal that asked to stop, 0 when none has.
int StopSignal() noexcept;
// Ends the process as the signal would have, its default action restored.
[[noreturn]] void DieBySignal(int signal);

}  // namespace gridport::batch
