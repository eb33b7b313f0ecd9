#include "batch/Options.h"

#include <charconv>

#include "filesystem/ExactName.h"

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
    "      --report FILE     write one record per map to FILE (.json or .csv)\n"
    "      --force           convert maps whose output is up to date too\n"
    "  -n, --dry-run         print the pairs that would be converted; write nothing\n"
    "      --keep-going      convert the other maps after a failure (the default)\n"
    "      --fail-fast       stop at the first failure\n"
    "  -h, --help            print this help and exit\n"
    "  -V, --version         print the version and exit\n"
    "\n"
    "An output newer than both of its inputs is up to date and is skipped.\n"
    "Exit status: 0 every map converted or was up to date, 1 a map failed,\n"
    "2 wrong usage; after Ctrl-C, the summary, then the signal's status.\n";

namespace {

Error Usage(const std::string& message) {
    return Error("", message);
}

}  // namespace

Expected<BatchOptions> ParseBatchOptions(const std::vector<std::string>& arguments) {
    BatchOptions options;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" and "-jN" carry their value; otherwise it is the next argument.
        std::optional<std::string> attached;
        if (argument.rfind("--", 0) == 0) {
            if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
                attached = argument.substr(equals + 1);
                argument.resize(equals);
            }
        } else if (argument.size() > 2 && argument[1] == 'j') {
            attached = argument.substr(2);
            argument = "-j";
        }
        const auto value = [&](std::string& into) -> Expected<void> {
            if (attached) {
                into = *attached;
            } else if (i + 1 < arguments.size()) {
                into = arguments[++i];
            } else {
                return Usage("option " + argument + " needs a value");
            }
            return Success();
        };
        const auto flag = [&](bool& into) -> Expected<void> {
            if (attached) {
                return Usage("option " + argument + " takes no value");
            }
            into = true;
            return Success();
        };
        Expected<void> taken = Success();
        std::string text;
        bool keepGoing = false;
        if (argument == "-j" || argument == "--jobs") {
            taken = value(text);
            if (taken) {
                unsigned jobs = 0;
                const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), jobs);
                if (problem != std::errc() || end != text.data() + text.size() || jobs == 0 || jobs > 1024) {
                    taken = Usage("the number of jobs must be a whole number from 1 to 1024, not \"" + text + "\"");
                }
                options.jobs = jobs;
            }
        } else if (argument == "--tilesets") {
            taken = value(text);
            options.tilesetFolders.push_back(text);
        } else if (argument == "--tileset") {
            taken = value(text);
            options.tileset = text;
        } else if (argument == "--report") {
            taken = value(text);
            options.report = text;
        } else if (argument == "--force") {
            taken = flag(options.force);
        } else if (argument == "-n" || argument == "--dry-run") {
            taken = flag(options.dryRun);
        } else if (argument == "--keep-going") {
            taken = flag(keepGoing);
            options.failFast = false;
        } else if (argument == "--fail-fast") {
            taken = flag(options.failFast);
        } else if (argument == "-h" || argument == "--help") {
            taken = flag(options.help);
        } else if (argument == "-V" || argument == "--version") {
            taken = flag(options.version);
        } else {
            taken = Usage("unknown option " + argument);
        }
        if (!taken) {
            return taken.error();
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (operands.size() != 2) {
        return Usage(operands.size() < 2 ? "SOURCE and OUTPUT are needed" : "too many operands: only SOURCE and OUTPUT");
    }
    options.source = operands[0];
    options.output = operands[1];
    if (options.tileset && !options.tilesetFolders.empty()) {
        return Usage("--tileset pairs every map with one tileset: it can't be given with --tilesets");
    }
    if (options.report) {
        if (EndsWithIgnoringCase(*options.report, ".json")) {
            options.reportFormat = ReportFormat::Json;
        } else if (EndsWithIgnoringCase(*options.report, ".csv")) {
            options.reportFormat = ReportFormat::Csv;
        } else {
            return Usage("the report's name must end in .json or .csv: " + *options.report);
        }
    }
    return options;
}

}  // namespace gridport::batch
