#pragma once

#include <memory>
#include <string>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "rmp/RmpReader.h"
#include "tileset/TilesetReader.h"
#include "picture/Picture.h"

namespace gridport {

// An RMP file read as a picture's source: its outline, its tileset's reduced tiles, and a layer's row of cells read where
// it lies when asked for, by a reader a layer whose buffers share kReadBuffers bytes. Memory follows the widest row, not
// the grids; reduced tiles are bounded by TileLevels::kBudget.
class StreamedRmp final : public PictureSource {
public:
    // Reads the file to its end, checking all but the grids' cells; with `draw` it keeps the reduced tiles. Must seek.
    static Expected<std::unique_ptr<StreamedRmp>> Open(File& file, const std::string& path, bool draw);

    const std::vector<Layer>& Layers() const override { return layers_; }
    const TileLevels& Tiles() const override { return tiles_; }
    Expected<const std::uint32_t*> Row(std::size_t layer, std::size_t row) override;

    // A short account ending in a line break: header values, non-empty strings, a line per layer (cells read once),
    // entity and zone counts, and the tile size and count. Unprintable bytes show as \xNN.
    Expected<std::string> Summary();

private:
    StreamedRmp(File& file, const std::string& path) : file_(file), in_(file, path) {}

    File& file_;
    BufferedReader in_;
    RmpOutline outline_;
    TilesetHeader header_;
    TileLevels tiles_;
    std::vector<Layer> layers_;
    static constexpr std::size_t kReadBuffers = std::size_t{1} << 20;
    std::vector<std::unique_ptr<BufferedReader>> readers_;  // Each layer's, made at its first row.
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint32_t> cells_;
};

}  // namespace gridport
