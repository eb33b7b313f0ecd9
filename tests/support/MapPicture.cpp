#include "support/MapPicture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/SampleRmp.h"

namespace gridport::test {

MapPicture::MapPicture(const TileMap& map) {
    files_.Put("map.rmp", SaveToMemory(map));
    file_ = std::move(*files_.Open("map.rmp", OpenMode::Read));
    Expected<std::unique_ptr<StreamedRmp>> rmp = StreamedRmp::Open(*file_, "map.rmp", true);
    if (!rmp) {
        std::fprintf(stderr, "a map in memory doesn't read back: %s\n", rmp.error().Text().c_str());
        std::abort();
    }
    rmp_ = std::move(*rmp);
}

}  // namespace gridport::test

namespace gridport {

Expected<RgbaImage> DrawPicture(PictureSource& source, const std::vector<bool>& drawn, PictureSize size,
                                std::optional<std::string>* note) {
    PictureRows rows(source, drawn, size);
    if (Expected<void> started = rows.Start(); !started) {
        return started.error();
    }
    RgbaImage canvas(static_cast<std::int32_t>(size.width), static_cast<std::int32_t>(size.height));
    const auto stride = static_cast<std::size_t>(size.width) * RgbaImage::kBytesPerPixel;
    for (std::size_t y = 0; y < static_cast<std::size_t>(size.height); ++y) {
        const Expected<const std::uint8_t*> row = rows.Row(y);
        if (!row) {
            return row.error();
        }
        std::memcpy(canvas.pixels.data() + y * stride, *row, stride);
    }
    if (note != nullptr) {
        *note = rows.Note();
    }
    return canvas;
}


}  // namespace gridport
