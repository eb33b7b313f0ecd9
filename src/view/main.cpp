// rmpview and mapview: one entry point, built once for each with GRIDPORT_VIEW_COMMAND naming the command to run.

#include <cstdio>
#include <string>
#include <vector>

#include "filesystem/DefaultFileSystem.h"
#include "filesystem/PlatformFiles.h"
#include "base/Signals.h"
#include "view/MapViewCommand.h"
#include "view/RmpViewCommand.h"
#include "view/StandardStreams.h"

int main(int argc, char** argv) {
    // A reader that goes away ends a viewer quietly, as it ends other filters.
    gridport::InstallSignalCleanup(gridport::BrokenPipe::Ends);
    gridport::platform::UseBinaryStandardStreams();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    gridport::StandardStreamFileSystem files(gridport::defaultFileSystem, stdin, stdout);
    std::FILE* progress = gridport::platform::IsTerminal(stderr) ? stderr : nullptr;
    std::string out;
    std::string err;
    const int status = gridport::GRIDPORT_VIEW_COMMAND(arguments, files, out, err, progress);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputs(err.c_str(), stderr);
    return std::fflush(stdout) == 0 || status != 0 ? status : 1;
}
