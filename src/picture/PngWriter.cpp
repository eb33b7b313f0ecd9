#include "picture/PngWriter.h"

#include <png.h>

#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace gridport {

namespace {

// zlib level 3, Sub filter on every row: a 16000 x 16000 picture of a 1000 x 1000 map took 2.6 s of CPU and 29.9 MB;
// level 1 the same time and 35.6 MB; libpng's default (level 6, per-row filters) 10 s and 19.3 MB.
constexpr int kCompressionLevel = 3;
constexpr int kFilters = PNG_FILTER_SUB;

// Pictures of at most this many bytes are drawn whole and then compressed on the caller's thread: starting a thread
// and passing rows to it costs more than a thumbnail does.
constexpr std::size_t kDrawnWhole = std::size_t{1} << 20;

// Rows are drawn here and compressed on another thread, each taking about as long; they pass through kSlots copies
// (or as many as the picture has rows, when drawn whole).
class RowRelay {
public:
    static constexpr std::uint32_t kSlots = 16;

    RowRelay(std::size_t rowBytes, std::uint32_t slots)
        : rowBytes_(rowBytes), slotCount_(slots), slots_(std::size_t{slots} * rowBytes) {}

    // Drawing side: waits for a free slot; false once the encoder has stopped and no more rows are wanted.
    bool Put(const std::uint8_t* row) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopped_ || put_ - taken_ < slotCount_; });
        if (stopped_) {
            return false;
        }
        // The slot is the encoder's again only after put_ moves past it.
        lock.unlock();
        std::memcpy(Slot(put_), row, rowBytes_);
        lock.lock();
        ++put_;
        changed_.notify_all();
        return true;
    }
    void End() {  // no more rows will come (all are put, or drawing failed)
        const std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    // Encoding side: row y once it is put, or nullptr when it never will be.
    const std::uint8_t* Take(std::uint32_t y) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this, y] { return ended_ || put_ > y; });
        return put_ > y ? Slot(y) : nullptr;
    }
    void Taken(std::uint32_t y) {  // row y is encoded (libpng keeps its own copy): its slot is free
        const std::lock_guard lock(mutex_);
        taken_ = y + 1;
        changed_.notify_all();
    }
    void Stop() {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

private:
    std::uint8_t* Slot(std::uint32_t y) { return slots_.data() + (y % slotCount_) * rowBytes_; }

    std::size_t rowBytes_;
    std::uint32_t slotCount_;
    std::vector<std::uint8_t> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint32_t put_ = 0;
    std::uint32_t taken_ = 0;
    bool ended_ = false;
    bool stopped_ = false;
};

struct PngSink {
    File* file = nullptr;
    bool failed = false;
};

void WriteToFile(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (!sink->failed) {
        sink->failed = !sink->file->Write(data, length);
    }
}

void FlushNothing(png_structp) {}

// libpng longjmps on error; nothing here has a destructor to skip. False when a write failed or rows ended early.
bool Encode(PngSink& sink, std::uint32_t width, std::uint32_t height, RowRelay& rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &sink, WriteToFile, FlushNothing);
    png_set_compression_level(png, kCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilters);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    bool complete = true;
    for (std::uint32_t y = 0; y < height && complete && !sink.failed; ++y) {
        const std::uint8_t* row = rows.Take(y);
        complete = row != nullptr;
        if (complete) {
            png_write_row(png, row);
            rows.Taken(y);
        }
    }
    if (complete && !sink.failed) {
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return complete && !sink.failed;
}

}  // namespace

Expected<void> WritePng(std::uint32_t width, std::uint32_t height, const PngRowSource& rows, const std::string& path,
                        FileSystem& fileSystem, PngUse /*use*/) {
    Expected<std::unique_ptr<OutputFile>> file = fileSystem.OpenOutput(path);
    if (!file) {
        return file.error();
    }
    PngSink sink{file->get(), false};
    const auto finish = [&](bool encoded) -> Expected<void> {
        if (!encoded) {
            Expected<void> committed = (*file)->Commit();  // a short write has its reason in the output
            return committed ? Error(path, "cannot encode the picture") : committed;
        }
        return (*file)->Commit();
    };
    const std::size_t rowBytes = std::size_t{width} * 4;
    if (rowBytes * height <= kDrawnWhole) {
        RowRelay whole(rowBytes, std::max<std::uint32_t>(height, 1));
        for (std::uint32_t y = 0; y < height; ++y) {
            Expected<const std::uint8_t*> row = rows(y);
            if (!row) {
                return row.error();
            }
            (void)whole.Put(*row);  // a slot for every row: never waits
        }
        whole.End();
        return finish(Encode(sink, width, height, whole));
    }
    RowRelay relay(rowBytes, RowRelay::kSlots);
    bool encoded = false;
    std::optional<Error> rowFailure;
    try {
        const std::jthread encoder([&] {
            encoded = Encode(sink, width, height, relay);
            relay.Stop();
        });
        // However drawing ends, even by an exception, the encoder learns no more rows come before it is joined.
        struct EndRows {
            RowRelay& relay;
            ~EndRows() { relay.End(); }
        } endRows{relay};
        for (std::uint32_t y = 0; y < height; ++y) {
            Expected<const std::uint8_t*> row = rows(y);
            if (!row) {
                rowFailure = row.error();
                break;
            }
            if (!relay.Put(*row)) {
                break;
            }
        }
    } catch (const std::system_error&) {
        return Error(path, "cannot start a thread to encode the picture");
    }
    if (rowFailure) {
        return *rowFailure;
    }
    return finish(encoded);
}

}  // namespace gridport
