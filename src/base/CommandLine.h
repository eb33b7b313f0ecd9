#pragma once

// The one command-line parser of gridport-batch, mapview and rmpview, getopt_long style (gridport takes no options):
// --name value, --name=value, -x value, -xvalue, -x=value; -h/--help for help, -v/-V/--version for the version; "--"
// ends the options; "-" alone is an operand (a standard stream); options and operands mix in any order. It only sorts
// the arguments; values mean what the command says. Every error is ErrorKind::Usage.

#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"

namespace gridport {

struct DeclaredOption {
    std::string_view name;  // the long name without its dashes: "jobs"
    char letter = '\0';     // the short name, '\0' for none
    bool takesValue = false;
    // May be given more than once (each value is kept, in order); any other option given twice is wrong usage.
    bool repeatable = false;
};

// An option as given: its long name and its value ("" for one without).
struct GivenOption {
    std::string_view name;
    std::string value;
};

struct CommandLine {
    bool help = false;
    bool version = false;
    std::vector<GivenOption> options;  // in the order given
    std::vector<std::string> operands;

    bool Has(std::string_view name) const;
};

Expected<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments, const std::vector<DeclaredOption>& declared);

// The operand, or option value, that names standard input or output.
inline constexpr std::string_view kStandardStream = "-";

int ExitStatus(const Error& error);  // The exit status of a command that failed: 2 for wrong usage, else 1.

Error UsageError(std::string message);  // A usage error, the message alone.

}  // namespace gridport
