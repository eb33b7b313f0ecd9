#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileSystem.h"
#include "view/Picture.h"
#include "view/ViewOptions.h"

namespace gridport {

// What a viewer prints: standard output and standard error as text, and the
// stream for progress lines (standard error when it is a terminal, else
// nullptr for none).
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

// Parses the arguments. For --help, --version and wrong usage it prints
// what they call for and gives the exit status (0, 0, 2); otherwise nothing,
// and the command goes on with options.
std::optional<int> StartViewCommand(const ViewCommandText& text, const std::vector<std::string>& arguments,
                                    ViewOptions& options, ViewConsole& console);

// Draws the picture as the options ask into the PNG file options.png.
// Problems with the picture name the first of `inputs`, problems with the
// file the PNG path; a PNG path that names one of the inputs is refused.
// Options that leave no layer to draw are wrong usage: *usage is set then.
Expected<void> DrawToPng(PictureSource& source, const std::vector<std::string>& inputs, const ViewOptions& options,
                         FileSystem& fileSystem, ViewConsole& console, const char* name, bool* usage);

// Prints a failure to draw: wrong usage with the usage line, status 2,
// otherwise status 1.
int DrawFailed(const ViewCommandText& text, ViewConsole& console, const Error& error, bool usage);

// Runs a command's body, which returns the exit status; running out of
// memory anywhere in it is a failure with that reason, status 1.
int RunGuarded(const char* name, ViewConsole& console, const std::function<int()>& body);

}  // namespace gridport
