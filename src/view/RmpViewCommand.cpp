#include "view/RmpViewCommand.h"

#include "picture/StreamedRmp.h"
#include "tiled/TiledExport.h"
#include "view/StandardStreams.h"
#include "view/ViewCommand.h"

namespace gridport {

namespace {

const ViewCommandText kText{
    "rmpview",
    "Usage: rmpview [options] FILE.rmp [OUT.png | OUT.tmj]\n",
    "Reads an RMP map file, checks every part of it, and prints a summary of it, or\n"
    "with --png or OUT.png draws it: the shown layers (flag bit 0 clear), unless the\n"
    "options below choose others. With OUT.tmj (or OUT.json) it exports the map to\n"
    "Tiled: the map OUT.tmj, its tileset STEM.tsj and the tiles' image STEM.png,\n"
    "STEM being OUT's name without its ending; an RMP file that a Tiled map can't\n"
    "give back exactly is refused, with the reason and its byte offset.\n",
    "Exit status: 0 done, 1 the file could not be read, drawn or written, 2 wrong usage.\n",
    1,
    1,
};

}  // namespace

int RunRmpView(const std::vector<std::string>& arguments, FileSystem& fileSystem, std::string& out, std::string& err,
               std::FILE* progress) {
    ViewConsole console{out, err, progress};
    return RunViewCommand(kText, arguments, console, [&](const ViewOptions& options) -> Expected<void> {
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
        return DrawToPng(**rmp, options.operands, options, fileSystem, console, kText.name);
    });
}

}  // namespace gridport
