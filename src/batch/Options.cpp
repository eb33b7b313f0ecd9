#include "batch/Options.h"

#include <charconv>
#include <cstdio>
#include <utility>

#include "base/CommandLine.h"
#include "base/Text.h"
#include "picture/PictureSize.h"

namespace gridport::batch {

const char* const kBatchHelp =
    "Usage: gridport-batch [OPTION]... SOURCE OUTPUT\n"
    "Converts every MAP file under the folder SOURCE (names ending in .map, in any\n"
    "letter case; or SOURCE alone when it is a file) into OUTPUT/PATH/NAME.rmp,\n"
    "where PATH is the map's folder below SOURCE. Each map is paired with the\n"
    "tileset whose name it stores, found in the map's folder and then in each\n"
    "--tilesets folder, letter case ignored. The bytes are gridport's.\n"
    "\n"
    "  -j, --jobs N          convert N maps at a time (default: the number of cores)\n"
    "      --tilesets DIR    look for tilesets in DIR too (repeatable, in order)\n"
    "      --tileset FILE    pair every map with the tileset FILE\n"
    "      --format FORMAT   rmp (the default), or tmj: each map becomes a Tiled map\n"
    "                        OUTPUT/PATH/NAME.tmj; its tileset, shared by the maps\n"
    "                        that use it, goes in OUTPUT/tilesets (.tsj and .png),\n"
    "                        and OUTPUT/NAME.tiled-project opens them all in Tiled\n"
    "      --report FILE     write one record per map to FILE (.json or .csv); \"-\":\n"
    "                        JSON on standard output, the summary on standard error\n"
    "      --png             draw each RMP file into NAME.png beside it, as rmpview\n"
    "                        --png draws it, when either is out of date\n"
    "  -s, --scale F         with --png: draw F times the size (0.25 a quarter)\n"
    "      --size WxH|N      with --png: draw as large as fits within W x H (N x N)\n"
    "      --force           convert maps whose output is up to date too\n"
    "  -n, --dry-run         print the pairs that would be converted; write nothing\n"
    "      --keep-going      convert the other maps after a failure (the default)\n"
    "      --fail-fast       stop at the first failure\n"
    "  -h, --help            print this help and exit\n"
    "  -v, -V, --version     print the version and exit\n"
    "      --                end the options: a SOURCE or OUTPUT may start with '-'\n"
    "\n"
    "OUTPUT may be SOURCE: each RMP file then goes beside its map. An output that\n"
    "is any input of the batch fails its map. An output newer than both of its\n"
    "inputs, paired with the same ones in OUTPUT/.gridport.log, is up to date;\n"
    "so is its picture when no older than it and drawn from it at the same size.\n"
    "Exit status: 0 every map converted or was up to date, 1 a map failed,\n"
    "2 wrong usage; after Ctrl-C, the summary, then the signal's status.\n";

namespace {

const std::vector<DeclaredOption> kDeclared{
    {"jobs", 'j', true},
    {"tilesets", '\0', true, true},
    {"tileset", '\0', true},
    {"report", '\0', true},
    {"format", '\0', true},
    {"force"},
    {"png"},
    {"scale", 's', true},
    {"size", '\0', true},
    {"dry-run", 'n'},
    {"keep-going"},
    {"fail-fast"},
};

Expected<unsigned> ParseJobs(const std::string& text) {
    unsigned jobs = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (problem != std::errc() || end != text.data() + text.size() || jobs == 0 || jobs > 1024) {
        return UsageError("the number of jobs must be a whole number from 1 to 1024, not \"" + text + "\"");
    }
    return jobs;
}

}  // namespace

const char* OutputEnding(OutputFormat format) {
    return format == OutputFormat::Tmj ? ".tmj" : ".rmp";
}

std::string PictureDrawingName(const PictureScale& scale) {
    if (scale.fit) {
        return "size " + std::to_string(scale.fit->width) + "x" + std::to_string(scale.fit->height);
    }
    if (scale.factor) {
        char text[40];
        std::snprintf(text, sizeof text, "scale %.17g", *scale.factor);
        return text;
    }
    return "full";
}

Expected<BatchOptions> ParseBatchOptions(const std::vector<std::string>& arguments) {
    Expected<CommandLine> line = ParseCommandLine(arguments, kDeclared);
    if (!line) {
        return line.error();
    }
    BatchOptions options;
    options.help = line->help;
    options.version = line->version;
    for (const GivenOption& given : line->options) {
        if (given.name == "jobs") {
            Expected<unsigned> jobs = ParseJobs(given.value);
            if (!jobs) {
                return jobs.error();
            }
            options.jobs = *jobs;
        } else if (given.name == "tilesets") {
            options.tilesetFolders.push_back(given.value);
        } else if (given.name == "tileset") {
            options.tileset = given.value;
        } else if (given.name == "report") {
            options.report = given.value;
        } else if (given.name == "format") {
            if (given.value != "rmp" && given.value != "tmj") {
                return UsageError("the format must be rmp or tmj, not \"" + given.value + "\"");
            }
            options.format = given.value == "tmj" ? OutputFormat::Tmj : OutputFormat::Rmp;
        } else if (given.name == "scale") {
            Expected<double> scale = ParseScaleFactor(given.value);
            if (!scale) {
                return scale.error();
            }
            options.pictureScale.factor = *scale;
        } else if (given.name == "size") {
            Expected<PictureSize> fit = ParseFitSize(given.value);
            if (!fit) {
                return fit.error();
            }
            options.pictureScale.fit = *fit;
        } else {
            // The flags; of --keep-going and --fail-fast the last given wins.
            options.force = options.force || given.name == "force";
            options.png = options.png || given.name == "png";
            options.dryRun = options.dryRun || given.name == "dry-run";
            options.failFast = given.name == "fail-fast" || (options.failFast && given.name != "keep-going");
        }
    }
    if (options.help || options.version) {
        return options;
    }
    const std::vector<std::string>& operands = line->operands;
    if (operands.size() != 2) {
        return UsageError(operands.size() < 2 ? "SOURCE and OUTPUT are needed"
                                              : "too many operands: only SOURCE and OUTPUT");
    }
    options.source = operands[0];
    options.output = operands[1];
    // Folders, and a tileset read for every map: no standard stream can be one.
    for (const auto& [what, path] : {std::pair{"SOURCE", options.source}, std::pair{"OUTPUT", options.output},
                                     std::pair{"--tileset", options.tileset.value_or("")}}) {
        if (path == "-") {
            return UsageError(std::string(what) + " can't be a standard stream ('-'); name a file '-' as ./-");
        }
    }
    if (!options.png && (options.pictureScale.factor || options.pictureScale.fit)) {
        return UsageError(std::string(options.pictureScale.factor ? "--scale" : "--size") + " goes with --png");
    }
    if (options.png && options.format == OutputFormat::Tmj) {
        return UsageError("--png draws RMP files: it doesn't go with --format tmj");
    }
    if (options.pictureScale.factor && options.pictureScale.fit) {
        return UsageError("--scale and --size don't go together");
    }
    if (options.tileset && !options.tilesetFolders.empty()) {
        return UsageError("--tileset pairs every map with one tileset: it can't be given with --tilesets");
    }
    if (options.report && *options.report == kStandardStream) {
        options.reportFormat = ReportFormat::Json;
    } else if (options.report) {
        if (EndsWithIgnoringCase(*options.report, ".json")) {
            options.reportFormat = ReportFormat::Json;
        } else if (EndsWithIgnoringCase(*options.report, ".csv")) {
            options.reportFormat = ReportFormat::Csv;
        } else {
            return UsageError("the report's name must end in .json or .csv: " + *options.report);
        }
    }
    return options;
}

}  // namespace gridport::batch
