#include "picture/PngDrawing.h"

#include "picture/PngWriter.h"

namespace gridport {

Expected<std::optional<std::string>> DrawPng(PictureSource& source, const std::string& input,
                                             const PictureDrawing& drawing, const std::string& path,
                                             FileSystem& fileSystem, const DrawingProgress& progress) {
    const auto named = [&input](const Error& error) { return Error(error.Kind(), input, error.Message()); };
    const Expected<std::vector<bool>> drawn = ChooseLayers(source, drawing.layers);
    if (!drawn) {
        return named(drawn.error());
    }
    const Expected<PictureSize> size = ScalePicture(MeasurePicture(source), drawing.scale);
    if (!size) {
        return named(size.error());
    }
    PictureRows rows(source, *drawn, *size);
    if (Expected<void> started = rows.Start(); !started) {
        return named(started.error());
    }
    const auto height = static_cast<std::uint32_t>(size->height);
    Expected<void> written = WritePng(
        static_cast<std::uint32_t>(size->width), height,
        [&rows, &progress, height](std::uint32_t y) -> Expected<const std::uint8_t*> {
            if (progress) {
                if (Expected<void> going = progress(y, height); !going) {
                    return going.error();
                }
            }
            return rows.Row(y);
        },
        path, fileSystem, PngUse::Picture);
    if (!written) {
        return written.error();
    }
    return rows.Note();
}

}  // namespace gridport
