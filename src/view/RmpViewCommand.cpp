#include "view/RmpViewCommand.h"

#include "rmp/RmpReader.h"
#include "view/StandardStreams.h"
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
    return RunGuarded(kText.name, console, [&]() {
        const std::string& input = options.operands[0];
        // Standard input from a pipe is read into memory first, so that its
        // counts can be checked against its size.
        Expected<std::unique_ptr<File>> file = OpenSeekable(input, fileSystem, BufferedReader::kUnknown);
        if (!file) {
            err += "rmpview: " + file.error().Text() + "\n";
            return 1;
        }
        BufferedReader in(**file, input);
        Expected<RmpDocument> document = ReadRmp(in);
        if (!document) {
            err += "rmpview: " + document.error().Text() + "\n";
            return 1;
        }
        if (!options.png) {
            out += Summarize(input, *document);
            return 0;
        }
        MapPicture picture(document->map);
        if (Expected<void> drawn = DrawToPng(picture, options.operands, options, fileSystem, console, kText.name);
            !drawn) {
            err += "rmpview: " + drawn.error().Text() + "\n";
            return 1;
        }
        return 0;
    });
}

}  // namespace gridport
