#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Error.h"
#include "tileset/TilesetReader.h"

namespace gridport {

// A tileset's tiles reduced for drawing at any size, in one pass: level 0 is full size, level l halves each side l
// times (ceil, at least 1), down to one pixel, the mean colour. A reduced pixel is the alpha-weighted mean of those
// under it, so drawing from level l box-filters the full-size picture wherever a cell covers whole pixels. Only the
// coarsest levels that fit in kBudget bytes are kept. Tile TileCount() is the mark of a cell beyond the tileset:
// magenta with a black cross.
class TileLevels {
public:
    static constexpr std::uint64_t kBudget = std::uint64_t{6} << 20;

    TileLevels() = default;

    // From a reader that has read the header; reads every tile's pixels, keeping none of them unless `reduce`.
    static Expected<TileLevels> Read(TilesetReader& reader, const TilesetHeader& header, bool reduce = true);

    std::uint32_t TileCount() const { return count_; }
    std::uint32_t TileWidth() const { return width_; }
    std::uint32_t TileHeight() const { return height_; }
    // Levels 0 to LevelCount() - 1 exist; FinestKept() and coarser are kept.
    std::size_t LevelCount() const { return levels_.size(); }
    std::size_t FinestKept() const { return finest_; }
    std::uint32_t LevelWidth(std::size_t level) const { return levels_[level].width; }
    std::uint32_t LevelHeight(std::size_t level) const { return levels_[level].height; }
    // A kept level's pixels of a tile (TileCount() for the mark), row by row.
    const std::uint8_t* Pixels(std::size_t level, std::uint32_t tile) const {
        const Level& at = levels_[level];
        return at.pixels.data() + std::size_t{tile} * at.width * at.height * 4;
    }
    // Whether every full-size pixel of a tile is opaque, every one is transparent, or neither.
    enum class Cover : std::uint8_t { Partial, Opaque, Clear };
    const Cover* Covers() const { return covers_.data(); }  // Every tile's cover, the mark's last.

private:
    struct Level {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::vector<std::uint8_t> pixels;
    };
    class Builder;

    std::uint32_t count_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::size_t finest_ = 0;
    std::vector<Level> levels_;
    std::vector<Cover> covers_;
};

// The alpha-weighted mean of `count` pixels with sums[0..3] (colour times alpha, and alpha), as straight alpha.
void MeanPixel(const std::uint64_t* sums, std::uint64_t count, std::uint8_t* pixel);

}  // namespace gridport
