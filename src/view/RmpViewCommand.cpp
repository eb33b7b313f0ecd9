#include "view/RmpViewCommand.h"

#include "base/Text.h"
#include "picture/StreamedRmp.h"
#include "tiled/TiledExport.h"
#include "tiled/TiledImport.h"
#include "view/StandardStreams.h"
#include "view/ViewCommand.h"

namespace gridport {

namespace {

const ViewCommandText kRmpViewText{
    "rmpview",
    "Usage: rmpview [options] FILE.rmp [OUT.png | OUT.tmj]\n",
    "Reads an RMP map file, checks every part of it, and prints a summary of it, or\n"
    "with --png or OUT.png draws it: the shown layers (flag bit 0 clear), unless the\n"
    "options below choose others. With OUT.tmj (or OUT.json) it exports the map to\n"
    "Tiled: the map OUT.tmj, its tileset STEM.tsj and the tiles' image STEM.png,\n"
    "STEM being OUT's name without its ending; an RMP file that a Tiled map can't\n"
    "give back exactly is refused, with the reason and its byte offset.\n"
    "'rmpview IN.tmj [OUT.rmp]' imports a Tiled map (see 'rmpview IN.tmj --help').\n",
    "Exit status: 0 done, 1 the file could not be read, drawn or written, 2 wrong usage.\n",
    1,
    1,
};

// rmpview IN.tmj [OUT.rmp]: a Tiled JSON map (also IN.json) imported into an RMP file, or its verdict alone.
const ViewCommandText kImportText{
    "rmpview",
    "Usage: rmpview IN.tmj [OUT.rmp]\n",
    "Imports a Tiled JSON map (.tmj or .json) of one tileset into the RMP map file\n"
    "OUT.rmp, or without OUT.rmp checks it and prints whether it imports.\n",
    "Exit status: 0 done, 1 the map could not be imported or written, 2 wrong usage.\n",
    1,
    3,  // one more than taken, so that a third operand is "too many" rather than a picture's name
};

// Whether the command's first operand is a Tiled map.
bool ImportsTiledMap(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument.empty() || argument[0] != '-') {
            return IsTiledMapPath(argument);
        }
    }
    return false;
}

int RunTiledImport(const std::vector<std::string>& arguments, FileSystem& fileSystem, ViewConsole& console) {
    return RunViewCommand(kImportText, arguments, console, [&](const ViewOptions& options) -> Expected<void> {
        if (options.operands.size() > 2) {
            return Error(ErrorKind::Usage, "", "too many operands");
        }
        const std::string& input = options.operands[0];
        std::optional<std::string> output;
        if (options.png || options.operands.size() > 1) {
            output = options.png ? *options.png : options.operands[1];
            if (!EndsWithIgnoringCase(*output, ".rmp")) {
                return Error(ErrorKind::Usage, "", "a Tiled map imports into an RMP file: name the output with the ending .rmp");
            }
        }
        const Expected<TiledImportSummary> imported = ImportTiledMap(input, fileSystem, output);
        if (!imported) {
            return imported.error();
        }
        console.out += output ? *output + ": imported from " + input + ": " : input + ": imports: ";
        console.out += DescribeImport(*imported) + "\n";
        return Success();
    });
}

}  // namespace

int RunRmpView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err,
               std::FILE* progress) {
    ViewConsole console{out, err, progress};
    if (ImportsTiledMap(arguments)) {
        return RunTiledImport(arguments, fileSystem, console);
    }
    return RunViewCommand(kRmpViewText, arguments, console, [&](const ViewOptions& options) -> Expected<void> {
        const std::string& input = options.operands[0];
        // Piped standard input is kept in memory, up to a bound, so its counts can be checked and layers read together.
        Expected<std::unique_ptr<File>> file = OpenSeekable(input, fileSystem, kMostKeptInput);
        if (!file) {
            return file.error();
        }
        if (options.tiled) {
            return tiled::ExportRmp(**file, input, *options.tiled, fileSystem);
        }
        Expected<std::unique_ptr<StreamedRmp>> rmp = StreamedRmp::Open(**file, input, options.png.has_value());
        if (!rmp) {
            return rmp.error();
        }
        if (!options.png) {
            const Expected<std::string> summary = (*rmp)->Summary();
            if (!summary) {
                return summary.error();
            }
            out += *summary;
            return Success();
        }
        return DrawToPng(**rmp, options.operands, options, fileSystem, console, kRmpViewText.name);
    });
}

}  // namespace gridport
