// rmpview and mapview: one entry point, built once for each with
// GRIDPORT_VIEW_COMMAND naming the command to run.

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "filesystem/DefaultFileSystem.h"
#include "view/MapViewCommand.h"
#include "view/RmpViewCommand.h"
#include "view/StandardStreams.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    gridport::StandardStreamFileSystem files(gridport::defaultFileSystem, stdin, stdout);
    std::FILE* progress = isatty(fileno(stderr)) != 0 ? stderr : nullptr;
    std::string out;
    std::string err;
    const int status = gridport::GRIDPORT_VIEW_COMMAND(arguments, files, out, err, progress);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputs(err.c_str(), stderr);
    return std::fflush(stdout) == 0 || status != 0 ? status : 1;
}
