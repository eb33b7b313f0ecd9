#pragma once

#include <memory>
#include <string>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "rmp/RmpReader.h"
#include "tileset/TilesetReader.h"
#include "view/Picture.h"

namespace gridport {

// An RMP file read as a stream, as a picture's source: its outline, its tileset's reduced tiles, and each layer's cells
// a row at a time, read by a reader of its own on the shared file. What it holds doesn't grow with the grids; the
// reduced tiles are bounded by TileLevels::kBudget.
class StreamedRmp final : public PictureSource {
public:
    // Reads the file up to its end, checking every part of it but the grids' cells; with `draw`, it keeps the tiles
    // reduced. The file must be able to seek.
    static Expected<std::unique_ptr<StreamedRmp>> Open(File& file, const std::string& path, bool draw);

    const std::vector<Layer>& Layers() const override { return layers_; }
    const TileLevels& Tiles() const override { return tiles_; }
    Expected<const std::uint32_t*> Row(std::size_t layer, std::size_t row) override;

    // A short account of the file, several lines ending in a line break: the header values, the strings that aren't
    // empty, one line per layer (its cells read once), the entity and zone counts and the tileset's tile size and
    // count. Bytes that don't print are shown as \xNN.
    Expected<std::string> Summary();

private:
    StreamedRmp(File& file, const std::string& path) : file_(file), in_(file, path) {}

    struct Cursor {
        std::unique_ptr<BufferedReader> in;
        std::vector<std::uint8_t> bytes;
        std::vector<std::uint32_t> cells;
    };

    File& file_;
    BufferedReader in_;
    RmpOutline outline_;
    TilesetHeader header_;
    TileLevels tiles_;
    std::vector<Layer> layers_;
    std::vector<Cursor> cursors_;
};

}  // namespace gridport
