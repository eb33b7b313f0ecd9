#pragma once

#include <memory>
#include <optional>
#include <string>

#include "support/MemoryFileSystem.h"
#include "support/TileMap.h"
#include "picture/StreamedRmp.h"

namespace gridport::test {

// A map in memory as rmpview draws it: saved as an RMP file in memory
// (SaveToMemory) and read back as a stream by the viewers' reader.
class MapPicture final : public PictureSource {
public:
    explicit MapPicture(const TileMap& map);
    const std::vector<Layer>& Layers() const override { return rmp_->Layers(); }
    const TileLevels& Tiles() const override { return rmp_->Tiles(); }
    Expected<const std::uint32_t*> Row(std::size_t layer, std::size_t row) override { return rmp_->Row(layer, row); }

private:
    MemoryFileSystem files_;
    std::unique_ptr<File> file_;
    std::unique_ptr<StreamedRmp> rmp_;
};

}  // namespace gridport::test

namespace gridport {

// The whole picture in one image: the chosen layers at the given size; note, when given, takes the picture's note.
Expected<RgbaImage> DrawPicture(PictureSource& source, const std::vector<bool>& drawn, PictureSize size,
                                std::optional<std::string>* note = nullptr);

}  // namespace gridport
