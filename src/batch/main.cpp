// gridport-batch [options] SOURCE OUTPUT: converts every MAP file under SOURCE with the tileset it names.

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "batch/BatchCommand.h"
#include "base/Signals.h"

int main(int argc, char** argv) {
    // Ending signals remove temporary outputs; the first (Ctrl-C, SIGTERM, SIGHUP or SIGQUIT) lets workers stop and
    // the summary and report be written, a second ends at once.
    gridport::InstallSignalCleanup(gridport::BrokenPipe::Fails);
    gridport::CatchStopRequests();
    int status = 1;
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        status = gridport::batch::RunBatchCommand(arguments, stdout, stderr, stderr);
    } catch (const std::bad_alloc&) {
        std::fputs("gridport-batch: out of memory\n", stderr);
        status = 1;
    }
    std::fflush(stdout);
    if (const int signal = gridport::StopSignal(); signal != 0) {
        gridport::DieBySignal(signal);
    }
    return status;
}
