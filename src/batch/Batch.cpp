#include "batch/Batch.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <new>
#include <set>

#include "base/Executor.h"
#include "base/Signals.h"
#include "batch/Pairing.h"
#include "convert/Conversion.h"
#include "filesystem/ExactName.h"
#include "filesystem/FolderCache.h"
#include "base/Threads.h"
#include "mapfile/MapReader.h"


namespace gridport::batch {

namespace {

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
    Runner(const std::vector<MapEntry>& maps, const BatchOptions& options, FileSystem& fileSystem, FolderCache& cache)
        : maps_(maps), options_(options), fileSystem_(fileSystem), cache_(cache), records_(maps.size()) {}

    std::vector<MapRecord> Run(std::FILE* progress) {
        const unsigned jobs = std::max(1U, std::min<unsigned>(options_.jobs, static_cast<unsigned>(maps_.size())));
        jobs_ = jobs;
        stretch_ = (maps_.size() + jobs - 1) / jobs;
        claims_ = stretch_ * jobs;
        // One worker, no progress: maps run on this thread (the tests need it under an emulator, where threads hang).
        Executor executor = jobs > 1 || progress != nullptr ? Executor::OnThreads(jobs) : Executor::InCallingThread();
        for (unsigned i = 0; i < jobs; ++i) {
            executor.Async([this] { Work(); });
        }
        const Clock::time_point start = Clock::now();
        std::function<void()> tick;
        if (progress != nullptr) {
            tick = [&] { ShowProgress(progress, start); };
        }
        executor.Wait(tick);
        if (progress != nullptr) {
            ShowProgress(progress, start);
            std::fputs("\n", progress);
        }
        return std::move(records_);
    }

private:
    bool Stopping() const { return StopRequested() || (options_.failFast && failed_.load() != 0); }

    void Work() {
        while (!Stopping()) {
            const std::size_t claim = next_.fetch_add(1);
            if (claim >= claims_) {
                break;
            }
            // Claims go to the jobs' own stretches of the list, so workers convert in different folders: files made
            // side by side in one folder wait on each other in the kernel.
            const std::size_t index = (claim % jobs_) * stretch_ + claim / jobs_;
            if (index >= maps_.size()) {
                continue;
            }
            const Clock::time_point start = Clock::now();
            MapRecord& record = records_[index];
            try {
                Convert(maps_[index], record);
            } catch (const std::bad_alloc&) {
                record.result = MapResult::Failed;
                record.failure = Error(ErrorKind::System, maps_[index].map, "out of memory");
            }
            record.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (record.result == MapResult::Failed) {
                failed_.fetch_add(1);
            }
            if (record.result != MapResult::NotDone) {
                done_.fetch_add(1);
            }
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

    // The map's tileset path, or why none. The map is opened and its header read here once; the conversion reads on.
    Expected<std::string> Tileset(const MapEntry& entry, std::unique_ptr<File>& mapFile) {
        Expected<std::unique_ptr<File>> file = fileSystem_.Open(entry.map, OpenMode::Read);
        if (!file) {
            return file.error();
        }
        mapFile = std::move(*file);
        if (options_.tileset) {
            return *options_.tileset;
        }
        MapReader reader(*mapFile, entry.map);
        if (Expected<void> header = reader.ReadHeader(); !header) {
            return header.error();
        }
        return FindTileset(entry.map, reader.Description().linkedFileName, options_.tilesetFolders, cache_);
    }

    // RunConversion on an already open map: the same pass and failure order (an unreadable map wins over the tileset).
    Expected<void> ConvertPair(File& mapFile, const MapEntry& entry, const std::string& tilesetPath,
                               ConversionSink& sink) {
        return mapFile.Seek(0) ? RunConversion(mapFile, entry.map, tilesetPath, fileSystem_, sink)
                               : RunConversion(entry.map, tilesetPath, fileSystem_, sink);
    }

    Expected<void> MakeFolderOf(const std::string& output) {
        const std::size_t start = ExactNameStart(output);
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

    // Whether the output is newer than both inputs (never with --force). Only a regular file can be: an output or
    // tileset of another kind (folder, FIFO, device) fails here, even in a dry run; a missing one fails on open.
    Expected<bool> UpToDate(const MapEntry& entry, const std::string& tilesetPath) {
        const Expected<FileStatus> tileset = fileSystem_.Status(tilesetPath);
        if (tileset && tileset->kind != FileKind::Missing && tileset->kind != FileKind::Link) {
            if (Expected<void> regular = RequireRegular(tilesetPath, *tileset); !regular) {
                return regular.error();
            }
        }
        const Expected<FileStatus> output = fileSystem_.Status(entry.output);
        if (!output) {
            return output.error();
        }
        // Nothing there yet, or a dangling link where the output will go.
        if (output->kind == FileKind::Missing || output->kind == FileKind::Link) {
            return false;
        }
        if (output->kind != FileKind::Regular) {
            return NotARegularFile(entry.output, output->kind).As(ErrorKind::Output);
        }
        if (options_.force) {
            return false;
        }
        const Expected<FileStatus> map = fileSystem_.Status(entry.map);
        for (const Expected<FileStatus>* input : {&map, &tileset}) {
            if (!*input || (*input)->kind != FileKind::Regular || (*input)->modified >= output->modified) {
                return false;
            }
        }
        return true;
    }

    void Convert(const MapEntry& entry, MapRecord& record) {
        if (entry.sameOutputAs) {
            return Fail(record, Error(entry.map, "its output " + entry.output + " is the output of " +
                                                     *entry.sameOutputAs + " too"));
        }
        std::unique_ptr<File> mapFile;
        Expected<std::string> tileset = Tileset(entry, mapFile);
        if (!tileset) {
            return Fail(record, tileset.error());
        }
        record.tileset = *tileset;
        Expected<bool> upToDate = UpToDate(entry, *tileset);
        if (!upToDate) {
            return Fail(record, upToDate.error());
        }
        if (*upToDate) {
            record.result = MapResult::UpToDate;
            return;
        }
        if (options_.dryRun) {
            record.result = MapResult::WouldConvert;
            return;
        }
        if (Expected<void> folder = MakeFolderOf(entry.output); !folder) {
            return Fail(record, folder.error());
        }
        RmpOutput output(entry.output, fileSystem_, entry.map, *tileset);
        StoppableSink sink(output);
        Expected<void> imported = ConvertPair(*mapFile, entry, *tileset, sink);
        if (sink.Stopped()) {
            return;  // abandoned: the output goes uncommitted
        }
        if (!imported) {
            return Fail(record, imported.error());
        }
        if (Expected<void> saved = output.Commit(); !saved) {
            // What the RMP format can't hold is said as mapview says it, without the output's name.
            const Error& error = saved.error();
            return Fail(record,
                        error.Kind() == ErrorKind::Limit ? Error(ErrorKind::Limit, {}, error.Message()) : error);
        }
        record.result = MapResult::Converted;
        if (options_.report) {
            const Expected<FileStatus> made = fileSystem_.Status(entry.output);
            record.bytes = made ? made->size : 0;
        }
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

    const std::vector<MapEntry>& maps_;
    const BatchOptions& options_;
    FileSystem& fileSystem_;
    FolderCache& cache_;
    std::vector<MapRecord> records_;
    unsigned jobs_ = 1;
    std::size_t stretch_ = 0;
    std::size_t claims_ = 0;
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<std::size_t> failed_{0};
    Mutex foldersMutex_;
    std::set<std::string> made_;
};

}  // namespace

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

std::vector<MapRecord> RunBatch(const std::vector<MapEntry>& maps, const BatchOptions& options,
                                FileSystem& fileSystem, FolderCache& cache, std::FILE* progress) {
    return Runner(maps, options, fileSystem, cache).Run(progress);
}

}  // namespace gridport::batch
