#include "batch/Batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <new>
#include <set>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "base/Executor.h"
#include "base/Signals.h"
#include "convert/Conversion.h"
#include "convert/Pairing.h"
#include "filesystem/ExactName.h"
#include "filesystem/FolderCache.h"
#include "base/Threads.h"
#include "mapfile/MapReader.h"
#include "picture/PngDrawing.h"
#include "picture/StreamedRmp.h"
#include "tiled/TiledExport.h"
#include "tiled/TiledNames.h"


namespace gridport::batch {

namespace {

// The folder in OUTPUT that holds the tilesets the Tiled maps share.
constexpr std::string_view kSharedTilesets = "tilesets";

using Clock = std::chrono::steady_clock;

// Passes all to the RMP output until a stop; then the pass only checks and the uncommitted output removes its file.
class StoppableSink final : public ConversionSink {
public:
    explicit StoppableSink(ConversionSink& target) : target_(target) {}

    bool Stopped() const { return stopped_; }

    void Begin(const MapDescription& map, const TilesetHeader* tileset) override { target_.Begin(map, tileset); }
    bool WantsMapOrder() const override { return target_.WantsMapOrder(); }
    bool ReadsEverything() const override { return target_.ReadsEverything(); }
    CellSink* Layer(std::size_t index, const MapFileLayer& layer) override {
        return Going() ? target_.Layer(index, layer) : nullptr;
    }
    void LayerDone(std::size_t index, std::uint16_t largest) override {
        if (Going()) {
            target_.LayerDone(index, largest);
        }
    }
    void TilePixels(const std::uint8_t* bytes, std::size_t count) override {
        if (Going()) {
            target_.TilePixels(bytes, count);
        }
    }
    void PixelsDone() override {
        if (Going()) {
            target_.PixelsDone();
        }
    }
    void TileInfo(const RtsTileInfo& info) override {
        if (Going()) {
            target_.TileInfo(info);
        }
    }

private:
    bool Going() {
        stopped_ = stopped_ || StopRequested();
        return !stopped_;
    }

    ConversionSink& target_;
    bool stopped_ = false;
};

class Runner {
public:
    Runner(const MapList& maps, const BatchOptions& options, FileSystem& fileSystem, FolderCache& cache,
           const BuildLog& log, const std::function<void(std::size_t, const MapRecord&)>& failed)
        : failedCall_(failed),
          maps_(maps),
          options_(options),
          fileSystem_(fileSystem),
          cache_(cache),
          log_(log),
          records_(maps.size()),
          found_(maps.size(), 0),
          drawing_{LayerChoice{}, options.pictureScale},
          drawingName_(PictureDrawingName(options.pictureScale)) {}

    std::vector<MapRecord> Run(std::FILE* progress) {
        const unsigned jobs = std::max(1U, std::min<unsigned>(options_.jobs, static_cast<unsigned>(maps_.size())));
        jobs_ = jobs;
        stretch_ = (maps_.size() + jobs - 1) / jobs;
        claims_ = stretch_ * jobs;
        // One worker, no progress: maps run on this thread (the tests need it under an emulator, where threads hang).
        Executor executor = jobs > 1 || progress != nullptr ? Executor::OnThreads(jobs) : Executor::InCallingThread();
        const Clock::time_point start = Clock::now();
        std::function<void()> tick;
        if (progress != nullptr) {
            tick = [&] { ShowProgress(progress, start); };
        }
        // Every map is paired before any output is written: no pairing sees a file this run made, and no output is
        // written over a file a later map reads.
        RunStage(executor, tick, &Runner::Pair);
        if (!Stopping()) {
            if (options_.format == OutputFormat::Tmj) {
                ShareTilesets();
            }
            FailOutputsThatAreInputs();
            RunStage(executor, tick, &Runner::Convert);
        }
        if (progress != nullptr) {
            ShowProgress(progress, start);
            std::fputs("\n", progress);
        }
        return std::move(records_);
    }

private:
    // What the pairing found of a map, as bits: paired and waiting for its conversion; something at its output.
    static constexpr std::uint8_t kPaired = 1;
    static constexpr std::uint8_t kOutputThere = 2;
    // With --png: something at its picture; the output up to date, its picture to draw.
    static constexpr std::uint8_t kPictureThere = 4;
    static constexpr std::uint8_t kDrawOnly = 8;
    // With --format tmj: a version-1 map, whose tiles are its tileset's and one transparent tile more.
    static constexpr std::uint8_t kVersion1 = 16;

    // A tileset written once for the Tiled maps that use it, as OUTPUT/tilesets/NAME.tsj and NAME.png: one for each
    // tileset file, and for each whether the transparent tile of version-1 maps is added. The first map converted
    // writes it.
    struct SharedTileset {
        std::string name;
        std::unique_ptr<Mutex> mutex = std::make_unique<Mutex>();
        bool written = false;
    };

    bool Stopping() const { return StopRequested() || (options_.failFast && failed_.load() != 0); }

    void RunStage(Executor& executor, const std::function<void()>& tick, void (Runner::*stage)(std::size_t)) {
        next_.store(0);
        for (unsigned i = 0; i < jobs_; ++i) {
            executor.Async([this, stage] { Work(stage); });
        }
        executor.Wait(tick);
    }

    void Work(void (Runner::*stage)(std::size_t)) {
        while (!Stopping()) {
            const std::size_t claim = next_.fetch_add(1);
            if (claim >= claims_) {
                break;
            }
            // Claims go to the jobs' own stretches of the list, so workers convert in different folders: files made
            // side by side in one folder wait on each other in the kernel.
            const std::size_t index = (claim % jobs_) * stretch_ + claim / jobs_;
            if (index >= maps_.size() || records_[index].result != MapResult::NotDone) {
                continue;
            }
            const Clock::time_point start = Clock::now();
            MapRecord& record = records_[index];
            try {
                (this->*stage)(index);
            } catch (const std::bad_alloc&) {
                record.result = MapResult::Failed;
                record.failure = Error(ErrorKind::System, maps_.Map(index), "out of memory");
            }
            record.milliseconds += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (record.result == MapResult::Failed) {
                Failed(index);
            }
            if (record.result != MapResult::NotDone) {
                done_.fetch_add(1);
            }
        }
    }

    void Failed(std::size_t index) {
        failed_.fetch_add(1);
        if (failedCall_) {
            const MutexLock lock(failedMutex_);
            failedCall_(index, records_[index]);
        }
    }

    // A failure after a stop request is the stop's (it interrupted a blocked open or read): the map is left not done.
    void Fail(MapRecord& record, const Error& error) {
        if (StopRequested()) {
            return;
        }
        record.result = MapResult::Failed;
        record.failure = error;
    }

    // The map's tileset path, or why none. The map's header is read here only when it names the tileset, or for a
    // Tiled map, whose tileset depends on the map's version.
    Expected<std::string> Tileset(const MapEntry& entry, std::uint8_t& found) {
        Expected<std::unique_ptr<File>> file = fileSystem_.Open(entry.map, OpenMode::Read);
        if (!file) {
            return file.error();
        }
        if (options_.tileset && options_.format != OutputFormat::Tmj) {
            return *options_.tileset;
        }
        MapReader reader(**file, entry.map);
        if (Expected<void> header = reader.ReadHeader(); !header) {
            return header.error();
        }
        found |= reader.Description().version == 1 ? kVersion1 : 0;
        if (options_.tileset) {
            return *options_.tileset;
        }
        return FindTileset(entry.map, reader.Description().linkedFileName, options_.tilesetFolders, cache_);
    }

    // Between the stages, with --format tmj: the tilesets the maps share, named in the order of their files (a name
    // taken already, letter case ignored, or one whose files would be an input, gets -2, -3...), and for each map the
    // one it uses. A map up to date is not when its Tiled map refers to another name, or its tileset's files are gone.
    void ShareTilesets() {
        std::vector<std::pair<std::string, bool>> keys;
        for (std::size_t i = 0; i < maps_.size(); ++i) {
            if (records_[i].tileset && records_[i].result != MapResult::Failed) {
                keys.emplace_back(*records_[i].tileset, (found_[i] & kVersion1) != 0);
            }
        }
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        // A name whose .tsj or .png is a tileset read (an RTS tileset may be named anything) is taken too.
        std::set<std::string> inputs;
        for (const auto& key : keys) {
            if (Expected<std::string> identity = fileSystem_.Identity(key.first)) {
                inputs.insert(std::move(*identity));
            }
        }
        const auto isInput = [&](const std::string& name) {
            const std::string base = JoinPath(JoinPath(options_.output, std::string(kSharedTilesets)), name);
            for (const std::string_view ending : {tiled::kTilesetEnding, tiled::kImageEnding}) {
                Expected<std::string> identity = fileSystem_.Identity(base + std::string(ending));
                if (identity && inputs.count(*identity) != 0) {
                    return true;
                }
            }
            return false;
        };
        std::set<std::string> taken;
        for (const auto& [tileset, extraTile] : keys) {
            const std::string file = tileset.substr(FileNameStart(tileset));
            const std::size_t dot = file.rfind('.');
            const std::string stem = (dot == std::string::npos || dot == 0 ? file : file.substr(0, dot)) +
                                     (extraTile ? "-v1" : "");
            std::string name = stem;
            for (int n = 2; !taken.insert(LowerCaseKey(name)).second || isInput(name); ++n) {
                name = stem + "-" + std::to_string(n);
            }
            shared_.emplace_back().name = name;
        }
        sharedOf_.assign(maps_.size(), 0);
        for (std::size_t i = 0; i < maps_.size(); ++i) {
            if (!records_[i].tileset || records_[i].result == MapResult::Failed) {
                continue;
            }
            const std::pair<std::string, bool> key(*records_[i].tileset, (found_[i] & kVersion1) != 0);
            sharedOf_[i] = static_cast<std::uint32_t>(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
            if (records_[i].result == MapResult::UpToDate && !SharedStillThere(i)) {
                records_[i].result = MapResult::NotDone;
                found_[i] |= kPaired;
                done_.fetch_sub(1);  // counted again when converted
            }
        }
    }

    // Where the map's Tiled map and its shared tileset go, and how the map refers to the tileset: up a folder for
    // each of the map's folders below SOURCE, then into tilesets.
    tiled::ExportPaths SharedPaths(std::size_t index) const {
        const SharedTileset& shared = shared_[sharedOf_[index]];
        const std::string base = JoinPath(JoinPath(options_.output, std::string(kSharedTilesets)), shared.name);
        std::string source;
        for (const char c : maps_[index].relative) {
            source += c == '/' ? "../" : "";
        }
        source += std::string(kSharedTilesets) + "/" + shared.name + std::string(tiled::kTilesetEnding);
        return tiled::ExportPaths{maps_[index].output, base + std::string(tiled::kTilesetEnding),
                                  base + std::string(tiled::kImageEnding), shared.name, source, true};
    }

    // Whether an up-to-date Tiled map still refers to its shared tileset by name, and the tileset's files are there.
    bool SharedStillThere(std::size_t index) {
        const tiled::ExportPaths paths = SharedPaths(index);
        for (const std::string* path : {&paths.tileset, &paths.image}) {
            const Expected<FileStatus> status = fileSystem_.Status(*path);
            if (!status || status->kind != FileKind::Regular) {
                return false;
            }
        }
        Expected<std::unique_ptr<File>> file = fileSystem_.Open(paths.map, OpenMode::ReadChecked);
        if (!file) {
            return false;
        }
        // The reference is on the map's third line, after a few hundred bytes at most.
        std::string head(1024, '\0');
        Expected<std::size_t> read = (*file)->Read(head.data(), head.size());
        if (!read) {
            return false;
        }
        head.resize(*read);
        std::string entry(1, '\n');
        entry.append(tiled::TilesetEntry(paths.source)).append(",\n");
        return head.find(entry) != std::string::npos;
    }

    Expected<void> MakeFolderOf(const std::string& output) {
        const std::size_t start = FileNameStart(output);
        if (start == 0) {
            return Success();
        }
        const std::string folder = output.substr(0, start);
        {
            const MutexLock lock(foldersMutex_);
            if (made_.count(folder) != 0) {
                return Success();
            }
        }
        if (Expected<void> made = fileSystem_.MakeFolders(folder); !made) {
            return made.error();
        }
        const MutexLock lock(foldersMutex_);
        made_.insert(folder);
        return Success();
    }

    // Whether the output is up to date (never with --force). Only a regular file can be: an output or tileset of
    // another kind (folder, FIFO, device) fails here, even in a dry run; a missing one fails on open.
    Expected<bool> UpToDate(const MapEntry& entry, const std::string& tilesetPath, MapRecord& record,
                            std::uint8_t& found) {
        const Expected<FileStatus> tileset = fileSystem_.Status(tilesetPath);
        if (tileset && tileset->kind != FileKind::Missing && tileset->kind != FileKind::Link) {
            if (Expected<void> regular = RequireRegular(tilesetPath, *tileset); !regular) {
                return regular.error();
            }
        }
        const Expected<FileStatus> map = fileSystem_.Status(entry.map);
        record.stamps.map = map ? StampOf(*map) : Stamp{};
        record.stamps.tileset = tileset ? StampOf(*tileset) : Stamp{};
        const Expected<FileStatus> output = fileSystem_.Status(entry.output);
        if (!output) {
            return output.error();
        }
        // Nothing there yet, or a dangling link where the output will go.
        if (output->kind == FileKind::Missing || output->kind == FileKind::Link) {
            return false;
        }
        found |= kOutputThere;
        if (output->kind != FileKind::Regular) {
            return NotARegularFile(entry.output, output->kind).As(ErrorKind::Output);
        }
        if (options_.force) {
            return false;
        }
        for (const Expected<FileStatus>* input : {&map, &tileset}) {
            if (!*input || (*input)->kind != FileKind::Regular || (*input)->modified >= output->modified) {
                return false;
            }
        }
        record.stamps.output = StampOf(*output);
        return log_.Names(OutputName(entry), entry.map, tilesetPath, record.stamps);
    }

    // The tileset's path as the records keep it: one copy for all the maps that found it.
    Shared<std::string> Interned(const std::string& tileset) {
        const MutexLock lock(tilesetsMutex_);
        auto [found, added] = tilesets_.try_emplace(tileset);
        if (added) {
            found->second = tileset;
        }
        return found->second;
    }

    // The first stage: the map's tileset, and whether its output is up to date. Nothing is written.
    void Pair(std::size_t index) {
        const MapEntry entry = maps_[index];
        MapRecord& record = records_[index];
        if (entry.sameOutputAs) {
            return Fail(record, Error(entry.map, "its output " + entry.output + " is the output of " +
                                                     *entry.sameOutputAs + " too"));
        }
        Expected<std::string> tileset = Tileset(entry, found_[index]);
        if (!tileset) {
            return Fail(record, tileset.error());
        }
        record.tileset = Interned(*tileset);
        Expected<bool> upToDate = UpToDate(entry, *tileset, record, found_[index]);
        if (!upToDate) {
            return Fail(record, upToDate.error());
        }
        Expected<bool> picture = true;
        if (options_.png) {
            picture = PictureUpToDate(entry, *upToDate, record, found_[index]);
        }
        if (!picture) {
            return Fail(record, picture.error());
        }
        if (*upToDate && *picture) {
            record.result = MapResult::UpToDate;
            record.picture = options_.png ? PictureResult::UpToDate : PictureResult::NotDone;
            return;
        }
        found_[index] |= *upToDate ? kDrawOnly : kPaired;
    }

    // The map's failure for its picture: "its picture P: reason" (the reason without P's name when it starts with it).
    static Error PictureFailure(const MapEntry& entry, const std::string& picture, const Error& error) {
        return Error(error.Kind(), entry.map,
                     "its picture " + picture + ": " + (error.Path() == picture ? error.Message() : error.Text()));
    }

    // Whether the output's picture is up to date (never when the output isn't). Only a regular file can be: anything
    // else there (a folder, a FIFO) fails the map here, before a byte is written, even in a dry run.
    Expected<bool> PictureUpToDate(const MapEntry& entry, bool outputUpToDate, const MapRecord& record,
                                   std::uint8_t& found) {
        const std::string picture = PicturePath(entry);
        const Expected<FileStatus> status = fileSystem_.Status(picture);
        if (!status) {
            return PictureFailure(entry, picture, status.error());
        }
        if (status->kind == FileKind::Missing || status->kind == FileKind::Link) {
            return false;
        }
        found |= kPictureThere;
        if (status->kind != FileKind::Regular) {
            return PictureFailure(entry, picture, NotARegularFile(picture, status->kind)).As(ErrorKind::Output);
        }
        return outputUpToDate && status->modified >= record.stamps.output.modified &&
               log_.Drew(OutputName(entry), DrawnPicture{StampOf(*status), drawingName_});
    }

    // Draws the map's picture from its output; a failure fails the map (the output stays), a stop leaves it undrawn.
    void Draw(std::size_t index) {
        const MapEntry entry = maps_[index];
        MapRecord& record = records_[index];
        const std::string picture = PicturePath(entry);
        if (Expected<void> drawn = DrawPicture(entry.output, picture); !drawn) {
            return Fail(record, PictureFailure(entry, picture, drawn.error()));
        }
        record.picture = PictureResult::Drawn;
        if (const Expected<FileStatus> made = fileSystem_.Status(picture); made && made->kind == FileKind::Regular) {
            record.pictureStamp = StampOf(*made);
        }
    }

    // The RMP file at rmp drawn into the PNG file at picture, as rmpview --png draws it.
    Expected<void> DrawPicture(const std::string& rmp, const std::string& picture) {
        // Without the exact-name check: the batch named the output itself, and the folder cache may predate it.
        Expected<std::unique_ptr<File>> file = fileSystem_.Open(rmp, OpenMode::ReadChecked);
        if (!file) {
            return file.error();
        }
        Expected<std::unique_ptr<StreamedRmp>> source = StreamedRmp::Open(**file, rmp, true);
        if (!source) {
            return source.error();
        }
        const Expected<std::optional<std::string>> drawn =
            DrawPng(**source, rmp, drawing_, picture, fileSystem_, [](std::uint32_t, std::uint32_t) -> Expected<void> {
                if (StopRequested()) {
                    return Error(ErrorKind::Interrupted, {}, "stopped");
                }
                return Success();
            });
        if (!drawn) {
            return drawn.error();
        }
        return Success();
    }

    // Between the stages: an output already there that is the same file as an input, however spelt, fails its map
    // (up to date or not). Only a file already there can be: every input is.
    void FailOutputsThatAreInputs() {
        const auto outputThere = [](std::uint8_t found) { return (found & (kOutputThere | kPictureThere)) != 0; };
        if (std::none_of(found_.begin(), found_.end(), outputThere)) {
            return;
        }
        // Each input's identity, and the map that reads it: as its map, or (past the maps' count) as its tileset.
        std::unordered_map<std::string, std::size_t> inputs;
        for (std::size_t i = 0; i < maps_.size(); ++i) {
            if (Expected<std::string> identity = fileSystem_.Identity(maps_.Map(i))) {
                inputs.emplace(std::move(*identity), i);
            }
        }
        // The tileset given for every map (read by the first map), then those found, each once or so.
        if (options_.tileset && !maps_.empty()) {
            if (Expected<std::string> identity = fileSystem_.Identity(*options_.tileset)) {
                inputs.emplace(std::move(*identity), maps_.size());
            }
        }
        for (std::size_t i = 0; i < maps_.size(); ++i) {
            const Shared<std::string>& tileset = records_[i].tileset;
            if (tileset && !options_.tileset && (i == 0 || !(records_[i - 1].tileset == tileset))) {
                if (Expected<std::string> identity = fileSystem_.Identity(*tileset)) {
                    inputs.emplace(std::move(*identity), maps_.size() + i);
                }
            }
        }
        for (std::size_t i = 0; i < maps_.size(); ++i) {
            MapRecord& record = records_[i];
            if (!outputThere(found_[i]) || record.result == MapResult::Failed) {
                continue;
            }
            const MapEntry entry = maps_[i];
            for (const auto& [bit, what, path] : {std::tuple{kOutputThere, "output", entry.output},
                                                  std::tuple{kPictureThere, "picture", PicturePath(entry)}}) {
                if ((found_[i] & bit) == 0) {
                    continue;
                }
                Expected<std::string> identity = fileSystem_.Identity(path);
                const auto input = identity ? inputs.find(*identity) : inputs.end();
                if (input == inputs.end()) {
                    continue;
                }
                const std::size_t reader = input->second % maps_.size();
                record.result = MapResult::Failed;
                record.picture = PictureResult::NotDone;
                record.failure = Error(ErrorKind::Output, entry.map,
                                       std::string("its ") + what + " " + path + " is an input: " +
                                           (input->second < maps_.size() ? "the map " : "the tileset of ") +
                                           maps_.Map(reader));
                found_[i] = 0;
                Failed(i);
                done_.fetch_add(1);
                break;
            }
        }
    }

    // The second stage: the conversion of a paired map, or with --dry-run the same pass with nothing written.
    void Convert(std::size_t index) {
        const MapEntry entry = maps_[index];
        MapRecord& record = records_[index];
        if ((found_[index] & kDrawOnly) != 0) {
            record.result = MapResult::UpToDate;
            if (options_.dryRun) {
                record.picture = PictureResult::WouldDraw;
                return;
            }
            return Draw(index);
        }
        if ((found_[index] & kPaired) == 0) {
            return;
        }
        const std::string& tileset = *record.tileset;
        if (options_.dryRun) {
            FormatCheck check;
            StoppableSink sink(check);
            Expected<void> checked = RunConversion(entry.map, tileset, fileSystem_, sink);
            if (sink.Stopped()) {
                return;
            }
            if (checked) {
                checked = check.Result();
            }
            if (!checked) {
                return Fail(record, checked.error());
            }
            record.result = MapResult::WouldConvert;
            record.picture = options_.png ? PictureResult::WouldDraw : PictureResult::NotDone;
            return;
        }
        if (Expected<void> folder = MakeFolderOf(entry.output); !folder) {
            return Fail(record, folder.error());
        }
        if (options_.format == OutputFormat::Tmj) {
            return ConvertToTiled(index);
        }
        RmpOutput output(entry.output, fileSystem_, entry.map, tileset);
        StoppableSink sink(output);
        Expected<void> imported = RunConversion(entry.map, tileset, fileSystem_, sink);
        if (sink.Stopped()) {
            return;  // abandoned: the output goes uncommitted
        }
        if (!Committed(index, imported ? output.Commit() : imported)) {
            return;
        }
        if (options_.png) {
            Draw(index);
        }
    }

    // The map into a Tiled map. The first of the maps sharing a tileset to be converted writes the tileset too, the
    // others waiting for it; after a failure the next tries.
    void ConvertToTiled(std::size_t index) {
        SharedTileset& shared = shared_[sharedOf_[index]];
        {
            const MutexLock lock(*shared.mutex);
            if (!shared.written) {
                shared.written = WriteTiled(index, true);
                return;
            }
        }
        WriteTiled(index, false);
    }

    // Whether the map was written into its Tiled map, with its shared tileset or without.
    bool WriteTiled(std::size_t index, bool withTileset) {
        const MapEntry& entry = maps_[index];
        MapRecord& record = records_[index];
        tiled::ExportPaths paths = SharedPaths(index);
        paths.writesTileset = withTileset;
        if (withTileset) {
            if (Expected<void> folder = MakeFolderOf(paths.tileset); !folder) {
                Fail(record, folder.error());
                return false;
            }
        }
        tiled::TiledOutput output(std::move(paths), fileSystem_, entry.map, *record.tileset);
        StoppableSink sink(output);
        const Expected<void> imported = RunConversion(entry.map, *record.tileset, fileSystem_, sink);
        if (sink.Stopped()) {
            return false;
        }
        return Committed(index, imported ? output.Commit() : imported);
    }

    // The result of a conversion and its output's commit, kept in the map's record: what the RMP format (or Tiled's)
    // can't hold is said as mapview says it, without the output's name.
    bool Committed(std::size_t index, const Expected<void>& saved) {
        MapRecord& record = records_[index];
        if (!saved) {
            const Error& error = saved.error();
            Fail(record, error.Kind() == ErrorKind::Limit ? Error(ErrorKind::Limit, {}, error.Message()) : error);
            return false;
        }
        record.result = MapResult::Converted;
        const Expected<FileStatus> made = fileSystem_.Status(maps_[index].output);
        if (made && made->kind == FileKind::Regular) {
            record.bytes = made->size;
            record.stamps.output = StampOf(*made);
            record.made = true;
        }
        return true;
    }

    void ShowProgress(std::FILE* terminal, Clock::time_point start) {
        const std::size_t done = done_.load();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        const double left = rate > 0 ? static_cast<double>(maps_.size() - done) / rate : 0;
        std::fprintf(terminal, "\r%zu/%zu maps, %zu failed, %.0f maps/s, %.0f s left   ", done, maps_.size(),
                     failed_.load(), rate, left);
        std::fflush(terminal);
    }

    const std::function<void(std::size_t, const MapRecord&)>& failedCall_;
    Mutex failedMutex_;
    const MapList& maps_;
    const BatchOptions& options_;
    FileSystem& fileSystem_;
    FolderCache& cache_;
    const BuildLog& log_;
    std::vector<MapRecord> records_;
    std::vector<std::uint8_t> found_;
    unsigned jobs_ = 1;
    std::size_t stretch_ = 0;
    std::size_t claims_ = 0;
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<std::size_t> failed_{0};
    Mutex foldersMutex_;
    std::set<std::string> made_;
    std::vector<SharedTileset> shared_;      // with --format tmj
    std::vector<std::uint32_t> sharedOf_;    // each map's, with --format tmj
    Mutex tilesetsMutex_;
    std::unordered_map<std::string, Shared<std::string>> tilesets_;
    const PictureDrawing drawing_;
    const std::string drawingName_;
};

}  // namespace

std::string PicturePath(const MapEntry& entry) {
    const std::string& output = entry.output;
    return output.substr(0, output.size() - std::string_view(".rmp").size()) + ".png";
}

const char* ResultName(MapResult result) {
    switch (result) {
        case MapResult::Converted:
            return "converted";
        case MapResult::UpToDate:
            return "up-to-date";
        case MapResult::Failed:
            return "failed";
        case MapResult::WouldConvert:
            return "would-convert";
        case MapResult::NotDone:
            break;
    }
    return "not-done";
}

std::vector<MapRecord> RunBatch(const MapList& maps, const BatchOptions& options,
                                FileSystem& fileSystem, FolderCache& cache, const BuildLog& log, std::FILE* progress,
                                const std::function<void(std::size_t, const MapRecord&)>& failed) {
    return Runner(maps, options, fileSystem, cache, log, failed).Run(progress);
}

}  // namespace gridport::batch
