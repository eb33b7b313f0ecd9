#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "picture/Picture.h"

namespace gridport::batch {

enum class ReportFormat { Json, Csv };

// What each map becomes: gridport's RMP file, or a Tiled map whose tileset it shares with the maps of the same tileset.
enum class OutputFormat { Rmp, Tmj };

// The output's ending, with its dot: ".rmp" or ".tmj".
const char* OutputEnding(OutputFormat format);

struct BatchOptions {
    std::string source;
    std::string output;
    std::vector<std::string> tilesetFolders;  // --tilesets DIR, in the order given: searched after the map's folder.
    std::optional<std::string> tileset;  // --tileset FILE: one tileset for every map.
    std::optional<std::string> report;  // --report FILE; "-" writes it to standard output, in JSON.
    ReportFormat reportFormat = ReportFormat::Json;
    OutputFormat format = OutputFormat::Rmp;  // --format rmp|tmj
    bool png = false;            // --png: draw each output's picture into NAME.png beside it
    PictureScale pictureScale;   // --scale F or --size WxH|N, with --png
    unsigned jobs = 0;  // Worker threads; 0 until chosen, then at least 1.
    bool force = false;
    bool dryRun = false;
    bool failFast = false;
    bool help = false;
    bool version = false;
};

// How the pictures are drawn, for the build log: "full", "size WxH" or "scale F" (F to 17 digits).
std::string PictureDrawingName(const PictureScale& scale);

// The options, or why the command line is wrong (a Usage error, the message alone); parsed by base/CommandLine.h.
Expected<BatchOptions> ParseBatchOptions(const std::vector<std::string>& arguments);

extern const char* const kBatchHelp;

}  // namespace gridport::batch
