#include "view/PngWriter.h"

#include <png.h>

#include <csetjmp>

namespace gridport {

namespace {

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
// destructor, so the jump skips none.
bool Encode(PngSink& sink, const RgbaImage& image) {
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
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(image.width) * RgbaImage::kBytesPerPixel;
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
        png_write_row(png, image.pixels.data() + y * stride);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return !sink.failed;
}

}  // namespace

bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem, Error& error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) *
                                    RgbaImage::kBytesPerPixel) {
        return error.Fail(path, "there is no picture to write");
    }
    const std::unique_ptr<File> file = fileSystem.OpenOutput(path, error);
    if (file == nullptr) {
        return false;
    }
    PngSink sink{file.get(), false};
    if (!Encode(sink, image)) {
        // A failed write has recorded its reason already.
        return error.Fail(path, "cannot encode the picture");
    }
    return file->Close();
}

bool WritePng(const RgbaImage& image, const std::string& path, FileSystem& fileSystem) {
    Error ignored;
    return WritePng(image, path, fileSystem, ignored);
}

}  // namespace gridport
