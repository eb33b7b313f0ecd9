// The PNG reader, on libpng: the file comes through the file system's File, the size is checked before the rows are
// allocated, and libpng's failures come back by longjmp to one place that turns them into the error.

#include "picture/PngReader.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <optional>

namespace gridport {

namespace {

struct Reading {
    File* file = nullptr;
    std::optional<Error> failure;  // why the file could not be read or the size was refused: to libpng, an abort
    std::string libpngMessage;
};

void ReadBytes(png_structp png, png_bytep data, png_size_t count) {
    // png_error longjmps past every destructor: the result goes before it is called.
    auto* reading = static_cast<Reading*>(png_get_io_ptr(png));
    std::size_t arrived = 0;
    {
        Expected<std::size_t> read = reading->file->Read(data, count);
        if (!read) {
            reading->failure = read.error();
        } else {
            arrived = *read;
        }
    }
    if (reading->failure) {
        png_error(png, "read failed");
    }
    if (arrived < count) {
        png_error(png, "the file ends before its picture does");
    }
}

void OnError(png_structp png, png_const_charp message) {
    auto* reading = static_cast<Reading*>(png_get_error_ptr(png));
    if (reading->libpngMessage.empty()) {
        reading->libpngMessage = message;
    }
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// libpng's structures, destroyed however the reading ends.
struct PngHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngHandles() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

// The decoding, under libpng's longjmp: everything it changes lives in the caller's frame, and no result with a
// destructor is alive where libpng may jump. False when libpng gave up.
bool Decode(png_structp png, png_infop info, Reading& reading, const PngSizeCheck& sizeCheck, const PngRowSink& sink,
            std::vector<std::uint8_t>& pixels, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_read_fn(png, &reading, ReadBytes);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (Expected<void> allowed = sizeCheck(width, height); !allowed) {
        reading.failure = allowed.error();
    }
    if (reading.failure) {
        png_error(png, "size refused");
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = std::size_t{width} * 4;
    if (png_get_rowbytes(png, info) != rowBytes) {
        png_error(png, "unexpected row size after conversion to RGBA");
    }
    // Rows one at a time; an interlaced picture's passes each cover the whole of it, so it is held whole.
    const png_uint_32 held = passes > 1 ? height : std::min<png_uint_32>(height, 1);
    pixels.resize(rowBytes * held);
    rows.resize(held);
    for (png_uint_32 y = 0; y < held; ++y) {
        rows[y] = pixels.data() + rowBytes * y;
    }
    if (passes > 1) {
        png_read_image(png, rows.data());
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        if (passes == 1) {
            png_read_row(png, rows[0], nullptr);
        }
        if (Expected<void> taken = sink(y, rows[passes > 1 ? y : 0]); !taken) {
            reading.failure = taken.error();
        }
        if (reading.failure) {
            png_error(png, "row refused");
        }
    }
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

Expected<void> ReadPng(const std::string& path, FileSystem& fileSystem, const PngSizeCheck& sizeCheck,
                       const PngRowSink& rows) {
    Expected<std::unique_ptr<File>> file = fileSystem.Open(path, OpenMode::Read);
    if (!file) {
        return file.error();
    }
    png_byte signature[8] = {};
    Expected<std::size_t> head = (*file)->Read(signature, sizeof signature);
    if (!head) {
        return head.error();
    }
    if (*head < sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        return Error(path, 0, "not a PNG file");
    }
    Reading reading;
    reading.file = file->get();
    PngHandles handles;
    handles.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reading, OnError, OnWarning);
    if (handles.png == nullptr || (handles.info = png_create_info_struct(handles.png)) == nullptr) {
        return Error(ErrorKind::System, path, "out of memory for the PNG decoder");
    }
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rowPointers;
    if (!Decode(handles.png, handles.info, reading, sizeCheck, rows, pixels, rowPointers)) {
        if (reading.failure) {
            return *reading.failure;
        }
        return Error(path, "damaged PNG data: " + reading.libpngMessage);
    }
    return Success();
}

}  // namespace gridport
