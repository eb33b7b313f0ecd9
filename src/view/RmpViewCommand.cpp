#include "view/RmpViewCommand.h"

#include "view/StreamedRmp.h"
#include "view/StandardStreams.h"
#include "view/ViewCommand.h"

namespace gridport {

namespace {

const ViewCommandText kText{
    "rmpview",
    "Usage: rmpview [options] FILE.rmp [OUT.png]\n",
    "Reads an RMP map file, checks every part of it, and prints a summary of it, or\n"
    "with --png or OUT.png draws it: the shown layers (flag bit 0 clear), unless the\n"
    "options below choose others.\n",
    "Exit status: 0 done, 1 the file could not be read, drawn or written, 2 wrong usage.\n",
    1,
    1,
};

}  // namespace

int RunRmpView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err,
               std::FILE* progress) {
    ViewConsole console{out, err, progress};
    ViewOptions options;
    if (const auto status = StartViewCommand(kText, arguments, options, console)) {
        return *status;
    }
    return RunGuarded(kText.name, console, [&]() {
        const std::string& input = options.operands[0];
        const auto fail = [&err](const Error& error) {
            err += "rmpview: " + error.Text() + "\n";
            return 1;
        };
        // Standard input from a pipe is kept in memory, up to a bound, so
        // that its counts can be checked against its size and its layers
        // read side by side.
        Expected<std::unique_ptr<File>> file = OpenSeekable(input, fileSystem, kMostKeptInput);
        if (!file) {
            return fail(file.error());
        }
        Expected<std::unique_ptr<StreamedRmp>> rmp = StreamedRmp::Open(**file, input, options.png.has_value());
        if (!rmp) {
            return fail(rmp.error());
        }
        if (!options.png) {
            const Expected<std::string> summary = (*rmp)->Summary();
            if (!summary) {
                return fail(summary.error());
            }
            out += *summary;
            return 0;
        }
        bool usage = false;
        if (Expected<void> drawn = DrawToPng(**rmp, options.operands, options, fileSystem, console, kText.name, &usage);
            !drawn) {
            return DrawFailed(kText, console, drawn.error(), usage);
        }
        return 0;
    });
}

}  // namespace gridport
