// rmpview [--png OUT.png [--layer N]] FILE.rmp: reads an RMP map file,
// checks it, and prints a summary of it or draws it into a PNG file.

#include <cstdio>
#include <string>
#include <vector>

#include "filesystem/DefaultFileSystem.h"
#include "view/RmpViewCommand.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string out;
    std::string err;
    const int status = gridport::RunRmpView(arguments, gridport::defaultFileSystem, out, err);
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return status;
}
