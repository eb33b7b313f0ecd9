#include "view/PngWriter.h"

#include <png.h>

#include <csetjmp>

namespace gridport {

namespace {

// zlib level 3 with the Sub filter on every row. A 16000 x 16000 picture of
// a 1000 x 1000 map took 2.6 s of CPU and 29.9 MB at level 3 with Sub, the
// same time and 35.6 MB at level 1, and 10 s and 19.3 MB at libpng's
// default (level 6, filters chosen row by row).
constexpr int kCompressionLevel = 3;
constexpr int kFilters = PNG_FILTER_SUB;

struct PngSink {
    File* file = nullptr;
    bool failed = false;
};

void WriteToFile(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    while (length > 0 && !sink->failed) {
        const auto piece = static_cast<std::uint32_t>(length < 0x40000000U ? length : 0x40000000U);
        sink->failed = sink->file->Write(data, piece) != piece;
        data += piece;
        length -= piece;
    }
}

void FlushNothing(png_structp) {}

// libpng reports errors by longjmp; nothing in this function has a
// destructor, so the jump skips none. The row source runs to its end before
// libpng is called again.
bool Encode(PngSink& sink, std::uint32_t width, std::uint32_t height, const PngRowSource& rows) {
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
    for (std::uint32_t y = 0; y < height && !sink.failed; ++y) {
        png_write_row(png, rows(y));
    }
    if (!sink.failed) {
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return !sink.failed;
}

}  // namespace

bool WritePng(std::uint32_t width, std::uint32_t height, const PngRowSource& rows, const std::string& path,
              FileSystem& fileSystem, Error& error) {
    // The output records the reasons of its failed writes and of Close.
    const std::unique_ptr<File> file = fileSystem.OpenOutput(path, error);
    if (file == nullptr) {
        return false;
    }
    PngSink sink{file.get(), false};
    if (!Encode(sink, width, height, rows)) {
        return error.Fail(path, sink.failed ? "cannot write" : "cannot encode the picture");
    }
    return file->Close();
}

bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem, Error& error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) *
                                    RgbaImage::kBytesPerPixel) {
        return error.Fail(path, "there is no picture to write");
    }
    const std::size_t stride = static_cast<std::size_t>(image.width) * RgbaImage::kBytesPerPixel;
    return WritePng(
        static_cast<std::uint32_t>(image.width), static_cast<std::uint32_t>(image.height),
        [&image, stride](std::uint32_t y) { return image.pixels.data() + y * stride; }, path, fileSystem, error);
}

bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem) {
    Error ignored;
    return WritePng(image, path, fileSystem, ignored);
}

}  // namespace gridport
