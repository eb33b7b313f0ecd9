#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"

namespace gridport::batch {

enum class ReportFormat { Json, Csv };

struct BatchOptions {
    std::string source;
    std::string output;
    // --tilesets DIR, in the order given: searched after the map's folder.
    std::vector<std::string> tilesetFolders;
    // --tileset FILE: one tileset for every map.
    std::optional<std::string> tileset;
    // --report FILE; "-" writes it to standard output, in JSON.
    std::optional<std::string> report;
    ReportFormat reportFormat = ReportFormat::Json;
    // Worker threads; 0 until chosen, then at least 1.
    unsigned jobs = 0;
    bool force = false;
    bool dryRun = false;
    bool failFast = false;
    bool help = false;
    bool version = false;
};

// The options, or why the command line is wrong (ErrorKind::Usage, the message alone). Parsed by base/CommandLine.h, as
// every command's.
Expected<BatchOptions> ParseBatchOptions(const std::vector<std::string>& arguments);

extern const char* const kBatchHelp;

}  // namespace gridport::batch
