#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileSystem.h"
#include "view/Picture.h"
#include "view/ViewOptions.h"

namespace gridport {

// What a viewer prints to: standard output and error as text, and progress (standard error if a terminal, else null).
struct ViewConsole {
    std::string& out;
    std::string& err;
    std::FILE* progress = nullptr;
};

// A viewer's fixed texts.
struct ViewCommandText {
    const char* name;   // "rmpview"
    const char* usage;  // the usage line, with its line break
    const char* about;  // the help's first lines, before the options
    const char* more;   // the help's last lines
    std::size_t minInputs;
    std::size_t maxInputs;
};

// A viewer's run, and the one place where its failure becomes its exit status. Parses the arguments; for --help and
// --version prints what they call for (status 0); otherwise runs body with the options. An error, the parser's or the
// body's, is printed after the command's name, a usage error (ErrorKind::Usage) with the usage line, and ends with
// status 2 for wrong usage, 1 otherwise; running out of memory anywhere is a failure with that reason.
int RunViewCommand(const ViewCommandText& text, const std::vector<std::string>& arguments, ViewConsole& console,
                   const std::function<Expected<void>(const ViewOptions&)>& body);

// Prints a failure that isn't the command's last word (its body's returned error), after the command's name, one line.
void ReportError(const ViewCommandText& text, ViewConsole& console, const Error& error);

// Draws the picture as the options ask into the PNG file options.png. Problems with the picture name the first of
// `inputs`, problems with the file the PNG path; a PNG path that names one of the inputs is refused. Layer options that
// name no layer of the file, or leave none to draw, are wrong usage (ErrorKind::Usage).
Expected<void> DrawToPng(PictureSource& source, const std::vector<std::string>& inputs, const ViewOptions& options,
                         FileSystem& fileSystem, ViewConsole& console, const char* name);

}  // namespace gridport
