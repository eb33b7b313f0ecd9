#include "view/RmpViewCommand.h"

#include "view/RmpReader.h"
#include "view/Summary.h"
#include "view/ViewCommand.h"

namespace gridport {

namespace {

const ViewCommandText kText{
    "rmpview",
    "Usage: rmpview [options] FILE.rmp\n",
    "Reads an RMP map file, checks every part of it, and prints a summary of it, or\n"
    "with --png draws it: the shown layers (flag bit 0 clear), unless the options\n"
    "below choose others.\n",
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
    const std::string& input = options.operands[0];
    std::string reason;
    const std::unique_ptr<RmpDocument> document = ReadRmp(input, fileSystem, reason);
    if (document == nullptr) {
        err += "rmpview: " + reason + "\n";
        return 1;
    }
    if (!options.png) {
        out += Summarize(input, *document);
        return 0;
    }
    Error error;
    if (!DrawMapToPng(document->map, options.operands, options, fileSystem, console, kText.name, error)) {
        err += "rmpview: " + error.Text() + "\n";
        return 1;
    }
    return 0;
}

}  // namespace gridport
