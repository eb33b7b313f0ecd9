#include "batch/BatchCommand.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "base/CommandLine.h"
#include "base/Counted.h"
#include "base/Executor.h"
#include "base/Memory.h"
#include "base/Version.h"
#include "batch/Batch.h"
#include "batch/BuildLog.h"
#include "batch/MapFinder.h"
#include "batch/Options.h"
#include "batch/Report.h"
#include "filesystem/DefaultFileSystem.h"
#include "filesystem/FileSystem.h"
#include "filesystem/FolderCache.h"
#include "filesystem/PlatformFiles.h"

namespace gridport::batch {

namespace {

struct Counts {
    std::size_t converted = 0;
    std::size_t upToDate = 0;
    std::size_t failed = 0;
    std::size_t wouldConvert = 0;
    std::size_t notDone = 0;
    std::size_t drawn = 0;  // pictures drawn, or that would be
};

Counts Count(const std::vector<MapRecord>& records) {
    Counts counts;
    for (const MapRecord& record : records) {
        counts.drawn += record.picture == PictureResult::Drawn || record.picture == PictureResult::WouldDraw ? 1 : 0;
        switch (record.result) {
            case MapResult::Converted:
                ++counts.converted;
                break;
            case MapResult::UpToDate:
                ++counts.upToDate;
                break;
            case MapResult::Failed:
                ++counts.failed;
                break;
            case MapResult::WouldConvert:
                ++counts.wouldConvert;
                break;
            case MapResult::NotDone:
                ++counts.notDone;
                break;
        }
    }
    return counts;
}

// The report written to its file, or to out for "-", in pieces as it is made.
Expected<void> WriteReport(const BatchOptions& options, const FoundMaps& found, const std::vector<MapRecord>& records,
                           std::FILE* out) {
    const auto text = [&](const std::function<void(std::string_view)>& put) {
        WriteReportText(found.maps, records, found.unreadable, options.reportFormat, options.png, put);
    };
    if (*options.report == kStandardStream) {
        bool written = true;
        text([&](std::string_view piece) {
            written = written && std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
        });
        if (!written || std::fflush(out) != 0) {
            return Error(ErrorKind::Output, "standard output", "cannot write the report");
        }
        return Success();
    }
    Expected<std::unique_ptr<OutputFile>> file = defaultFileSystem.OpenOutput(*options.report);
    if (!file) {
        return file.error();
    }
    // A failed write is remembered: Commit gives the reason.
    text([&](std::string_view piece) { (void)(*file)->Write(piece.data(), piece.size()); });
    return (*file)->Commit();
}

// What can be checked before any map is read: each --tilesets folder and the --tileset file are there, the report's
// folder is, and OUTPUT, when there, is a folder. Why not is wrong usage, so that nothing is converted in vain.
Expected<void> CheckFirst(FileSystem& files, const BatchOptions& options) {
    const auto status = [&files](const std::string& path) {
        Expected<FileStatus> found = files.Status(path);
        return found ? *found : FileStatus{};
    };
    const auto wrong = [](const std::string& what, const Error& why) {
        return Error(ErrorKind::Usage, {}, what + " " + why.Text());
    };
    for (const std::string& folder : options.tilesetFolders) {
        const FileKind kind = status(folder).kind;
        if (kind != FileKind::Folder) {
            return wrong("--tilesets", kind == FileKind::Missing || kind == FileKind::Link
                                           ? Error(folder, "no such folder")
                                           : Error(folder, std::string("not a folder but ") + KindName(kind)));
        }
    }
    if (options.tileset) {
        if (Expected<void> regular = RequireRegular(*options.tileset, status(*options.tileset)); !regular) {
            return wrong("--tileset", regular.error());
        }
    }
    if (options.report && *options.report != kStandardStream) {
        const std::string folder = options.report->substr(0, FileNameStart(*options.report));
        if (!folder.empty() && status(folder).kind != FileKind::Folder) {
            return wrong("--report", Error(*options.report, "its folder " + folder + " is not there"));
        }
    }
    const FileKind output = status(options.output).kind;
    if (output != FileKind::Missing && output != FileKind::Folder) {
        return wrong("OUTPUT", Error(options.output, std::string("not a folder but ") + KindName(output)));
    }
    return Success();
}

// Tiled's project file, as Tiled 1.8 writes it: its one folder is the one it is in, the game's maps and tilesets.
constexpr std::string_view kTiledProject =
    "{\n"
    "    \"automappingRulesFile\": \"\",\n"
    "    \"commands\": [\n"
    "    ],\n"
    "    \"extensionsPath\": \"extensions\",\n"
    "    \"folders\": [\n"
    "        \".\"\n"
    "    ],\n"
    "    \"propertyTypes\": [\n"
    "    ]\n"
    "}\n";

// OUTPUT/NAME.tiled-project, NAME being OUTPUT's folder name ("project" for "." or ".."): the Tiled maps' project.
std::string ProjectPath(const std::string& output) {
    std::string folder = output;
    while (folder.size() > 1 && FileNameStart(folder) == folder.size()) {
        folder.pop_back();
    }
    std::string name = folder.substr(FileNameStart(folder));
    if (name.empty() || name == "." || name == "..") {
        name = "project";
    }
    return JoinPath(output, name + ".tiled-project");
}

// The Tiled project, once there are Tiled maps in OUTPUT. One already there is left as it is: Tiled keeps the user's
// settings in it.
Expected<std::optional<std::string>> WriteTiledProject(FileSystem& files, const std::string& output,
                                                       const std::vector<MapRecord>& records) {
    const auto there = [](const MapRecord& record) {
        return record.result == MapResult::Converted || record.result == MapResult::UpToDate;
    };
    if (std::none_of(records.begin(), records.end(), there)) {
        return std::optional<std::string>();
    }
    const std::string path = ProjectPath(output);
    Expected<FileStatus> status = files.Status(path);
    if (!status) {
        return status.error();
    }
    if (status->kind != FileKind::Missing && status->kind != FileKind::Link) {
        return std::optional<std::string>();
    }
    Expected<std::unique_ptr<OutputFile>> file = files.OpenOutput(path);
    if (!file) {
        return file.error();
    }
    (void)(*file)->Write(kTiledProject.data(), kTiledProject.size());
    if (Expected<void> committed = (*file)->Commit(); !committed) {
        return committed.error();
    }
    return std::optional<std::string>(path);
}

// The build log with an entry for each output made or whose picture was drawn, when any was.
Expected<void> WriteLog(FileSystem& files, const std::string& path, const BuildLog& log,
                        const MapList& maps, const std::vector<MapRecord>& records,
                        const std::string& drawing) {
    const auto made = [](const MapRecord& record) { return record.made || record.picture == PictureResult::Drawn; };
    if (std::none_of(records.begin(), records.end(), made)) {
        return Success();
    }
    return log.Write(files, path, maps.size(), [&](std::size_t i) -> std::optional<LogLine> {
        const MapRecord& record = records[i];
        if (!made(record)) {
            return std::nullopt;
        }
        std::optional<DrawnPicture> picture;
        if (record.picture == PictureResult::Drawn) {
            picture = DrawnPicture{record.pictureStamp, drawing};
        }
        return LogLine{OutputName(maps[i]), maps.Map(i), *record.tileset, record.stamps, std::move(picture)};
    });
}

// text for a terminal line: control characters (a newline in a name) written as C escapes, so each line stays one.
std::string Shown(const std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kDigits[byte >> 4];
            shown += kDigits[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

// "failed: MAP with TILESET: reason", the tileset left out when none was found and the map's path when the reason
// starts with it (the map's own fault).
void PrintFailure(std::FILE* out, const MapEntry& map, const MapRecord& record) {
    std::string reason = record.failure->Text();
    if (record.failure->Path() == map.map) {
        reason.erase(0, map.map.size() + 2);
    }
    const std::string with = record.tileset ? " with " + Shown(*record.tileset) : std::string();
    std::fprintf(out, "failed: %s%s: %s\n", Shown(map.map).c_str(), with.c_str(), Shown(reason).c_str());
}

// The summary line, then each failure again.
void PrintSummary(std::FILE* out, const BatchOptions& options, const MapList& maps,
                  const std::vector<MapRecord>& records, const std::vector<Error>& unreadable, double seconds,
                  const std::optional<std::string>& project) {
    for (std::size_t i = 0; i < maps.size(); ++i) {
        if (records[i].result == MapResult::WouldConvert) {
            std::fprintf(out, "would convert %s with %s into %s\n", Shown(maps.Map(i)).c_str(),
                         Shown(*records[i].tileset).c_str(), Shown(maps.Output(i)).c_str());
        }
        if (records[i].picture == PictureResult::WouldDraw) {
            std::fprintf(out, "would draw %s into %s\n", Shown(maps.Output(i)).c_str(),
                         Shown(PicturePath(maps[i])).c_str());
        }
    }
    const Counts counts = Count(records);
    // Each map, and each folder that couldn't be read, is counted once: the counts after the colon add up to it.
    std::string found = Counted(maps.size(), "map");
    if (!unreadable.empty()) {
        found += " and " + Counted(unreadable.size(), "unreadable folder");
    }
    if (options.dryRun) {
        std::fprintf(out, "%s: %zu would be converted, %zu up to date, %zu failed", found.c_str(),
                     counts.wouldConvert, counts.upToDate, counts.failed + unreadable.size());
    } else {
        std::fprintf(out, "%s: %zu converted, %zu up to date, %zu failed", found.c_str(), counts.converted,
                     counts.upToDate, counts.failed + unreadable.size());
    }
    if (counts.notDone != 0) {
        std::fprintf(out, ", %zu not done", counts.notDone);
    }
    if (options.png) {
        std::fprintf(out, options.dryRun ? ", %s would be drawn" : ", %s drawn",
                     Counted(counts.drawn, "picture").c_str());
    }
    std::fprintf(out, " in %.2f s\n", seconds);
    if (project) {
        std::fprintf(out, "Tiled project: %s\n", Shown(*project).c_str());
    }
    for (const Error& error : unreadable) {
        std::fprintf(out, "failed: %s\n", Shown(error.Text()).c_str());
    }
    for (std::size_t i = 0; i < maps.size(); ++i) {
        if (records[i].result == MapResult::Failed) {
            PrintFailure(out, maps[i], records[i]);
        }
    }
}

}  // namespace

int RunBatchCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err, std::FILE* progress) {
    // The one place a failure becomes the exit status (base/CommandLine.h).
    const auto fail = [err](const Error& error) {
        std::fprintf(err, "gridport-batch: %s\n", Shown(error.Text()).c_str());
        if (error.Kind() == ErrorKind::Usage) {
            std::fputs("Try 'gridport-batch --help'.\n", err);
        }
        return ExitStatus(error);
    };
    Expected<BatchOptions> parsed = ParseBatchOptions(arguments);
    if (!parsed) {
        return fail(parsed.error());
    }
    BatchOptions& options = *parsed;
    if (options.help) {
        std::fputs(kBatchHelp, out);
        return 0;
    }
    if (options.version) {
        std::fprintf(out, "gridport-batch (gridport) %s\n", kVersion);
        return 0;
    }
    // A report on standard output has it to itself, so the summary goes to standard error.
    const bool reportOut = options.report && *options.report == kStandardStream;
    std::FILE* const summaryOut = reportOut ? err : out;
    // Where there are no threads, every map is converted in the one there is.
    options.jobs = Executor::Threads(options.jobs);
    // Every map takes and frees the same buffers, every picture its fixed budgets.
    KeepFreedMemory();
    if (Expected<void> checked = CheckFirst(defaultFileSystem, options); !checked) {
        return fail(checked.error());
    }
    const auto start = std::chrono::steady_clock::now();
    Expected<FoundMaps> found = FindMaps(defaultFileSystem, options.source, options.output);
    if (!found) {
        return fail(found.error());
    }
    found->maps.SetOutputEnding(OutputEnding(options.format));
    FolderCache cache;
    CachedNameFileSystem fileSystem(defaultFileSystem, cache);
    const std::string logPath = JoinPath(options.output, kBuildLogName);
    const BuildLog log = BuildLog::Read(fileSystem, logPath);
    // A progress line on a terminal; elsewhere (a log) each failure's line as it comes, as make prints them, unless
    // the summary goes there too. The summary ends the run either way, with the failures again.
    const bool terminal = platform::IsTerminal(progress);
    std::function<void(std::size_t, const MapRecord&)> failed;
    if (!terminal && progress != summaryOut) {
        for (const Error& error : found->unreadable) {
            std::fprintf(progress, "failed: %s\n", Shown(error.Text()).c_str());
        }
        failed = [&](std::size_t index, const MapRecord& record) {
            PrintFailure(progress, found->maps[index], record);
            std::fflush(progress);
        };
    }
    const std::vector<MapRecord> records =
        RunBatch(found->maps, options, fileSystem, cache, log, terminal ? progress : nullptr, failed);
    // The log is written after a stop too, so that the maps converted stay up to date.
    std::optional<Error> logFailure;
    if (Expected<void> written = WriteLog(fileSystem, logPath, log, found->maps, records,
                                                      PictureDrawingName(options.pictureScale)); !written) {
        logFailure = written.error();
    }
    // A project written for the first time is said in the summary.
    Expected<std::optional<std::string>> project = std::optional<std::string>();
    if (options.format == OutputFormat::Tmj && !options.dryRun) {
        project = WriteTiledProject(fileSystem, options.output, records);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    PrintSummary(summaryOut, options, found->maps, records, found->unreadable, seconds,
                 project ? *project : std::nullopt);
    int status = Count(records).failed + found->unreadable.size() == 0 ? 0 : 1;
    if (!project) {
        status = std::max(status, fail(project.error()));
    }
    // A summary that couldn't be written (a full disk) is a failure, said on standard error when that is elsewhere.
    if (std::fflush(summaryOut) != 0 || std::ferror(summaryOut) != 0) {
        status = summaryOut == err ? std::max(status, 1)
                                   : std::max(status, fail(Error(ErrorKind::Output, "standard output",
                                                                 "cannot write the summary")));
    }
    if (logFailure) {
        status = std::max(status, fail(*logFailure));
    }
    if (options.report && !options.dryRun) {
        if (Expected<void> written = WriteReport(options, *found, records, out); !written) {
            status = std::max(status, fail(written.error()));
        }
    }
    std::fflush(out);
    return status;
}

}  // namespace gridport::batch
