#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileSystem.h"
#include "picture/Picture.h"
#include "view/ViewOptions.h"

namespace gridport {

// What a viewer prints to: standard output and error as text, and progress (standard error if a terminal, else null).
struct ViewConsole {
    std::string& out;
    std::string& err;
    std::FILE* progress = nullptr;
};

struct ViewCommandText {
    const char* name;   // "rmpview"
    const char* usage;  // the usage line, with its line break
    const char* about;  // the help's first lines, before the options
    const char* more;   // the help's last lines
    std::size_t minInputs;
    std::size_t maxInputs;
    bool findsTilesets = false;  // whether --tilesets is an option
};

// A viewer's run, and the one place its failure becomes its exit status. --help and --version print and return 0;
// otherwise body runs with the options. An error (parser's or body's) is printed after the command's name, a usage
// error with the usage line, and the status is 2 for usage, else 1; running out of memory is a failure like any other.
int RunViewCommand(const ViewCommandText& text, const std::vector<std::string>& arguments, ViewConsole& console,
                   const std::function<Expected<void>(const ViewOptions&)>& body);

// Prints a failure that isn't the command's last word (its body's returned error), after the command's name, one line.
void ReportError(const ViewCommandText& text, ViewConsole& console, const Error& error);

// Draws the picture as options ask into options.png. Picture problems name the first of `inputs`, file problems the PNG
// path; a PNG path naming an input is refused. Layer options naming no layer, or leaving none, are Usage errors.
Expected<void> DrawToPng(PictureSource& source, const std::vector<std::string>& inputs, const ViewOptions& options,
                         FileSystem& fileSystem, ViewConsole& console, const char* name);

}  // namespace gridport
