#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "tileset/Rgba.h"
#include "view/TileLevels.h"

namespace gridport {

constexpr std::uint64_t kMaxPictureSide = 16384;  // Pictures larger than this on either side, as written, are refused.

struct PictureSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

constexpr std::uint32_t kNoTile = 0xFFFFFFFFU;  // A cell that draws nothing, whatever the tileset.

// What a picture is drawn from (a streamed MAP or RMP file): layers' names, flags and sizes, reduced tiles, cell rows.
class PictureSource {
public:
    struct Layer {
        std::string name;
        bool shown = true;
        std::uint64_t width = 0;
        std::uint64_t height = 0;
    };

    virtual ~PictureSource() = default;
    virtual const std::vector<Layer>& Layers() const = 0;
    virtual const TileLevels& Tiles() const = 0;
    // Whether a cell beyond the tileset draws the mark (see TileLevels) rather than nothing. kNoTile never draws.
    virtual bool MarksBeyond() const { return false; }
    // One row of one layer's cells (its width of them); rows come in order. Valid until the next call.
    virtual Expected<const std::uint32_t*> Row(std::size_t layer, std::size_t row) = 0;
};

// The full-size canvas: the widest layer times the tile width by the tallest layer times the tile height.
PictureSize MeasurePicture(const PictureSource& source);

// Which layers a picture shows, as tmxrasterizer chooses them. Layers picked by number (`numbers`, from 0) or name
// (`show`, case ignored) are drawn alone, shown or hidden; with no pick, the shown layers (RMP flag bit 0 clear) are
// drawn, or all with ignoreVisibility. Layers named in `hide` are then left out: hiding wins.
struct LayerChoice {
    std::vector<std::size_t> numbers;
    std::vector<std::string> show;
    std::vector<std::string> hide;
    bool ignoreVisibility = false;
};

// One flag per layer; the Usage error names a layer number or name the map lacks, or says every layer is hidden.
Expected<std::vector<bool>> ChooseLayers(const PictureSource& source, const LayerChoice& choice);

// The written size: the full size times factor, or as large as fits in fit keeping proportions; at least one pixel a
// side. Refused when empty or over kMaxPictureSide a side.
struct PictureScale {
    std::optional<double> factor;
    std::optional<PictureSize> fit;
};
Expected<PictureSize> ScalePicture(PictureSize full, const PictureScale& scale);

// Draws a picture row by row, in order, at any size: each pixel is the alpha-weighted average of the full-size box it
// covers, or repeats the full-size pixel under it when enlarged. Chosen layers are drawn in order, each cell's tile
// composited source-over on a transparent canvas; a cell at or beyond the tile count draws nothing (or the mark, see
// PictureSource::MarksBeyond). It draws from the coarsest reduced level with as many pixels as the picture, so work
// follows the pixels written and cells read (each once). Where layers' tiles show through one another the cell is
// composited at the finest kept level, reduced, and kept for later cells. Only a row of cells, a row of level pixels
// and the reduced tiles are held.
class PictureRows {
public:
    PictureRows(PictureSource& source, std::vector<bool> drawn, PictureSize size);
    Expected<void> Start();  // Makes room for the rows; refused when it is more than can be asked for.
    // Row y of the picture, 4 bytes a pixel; rows are asked for in order from 0. Valid until the next call.
    Expected<const std::uint8_t*> Row(std::size_t y);
    // After Start: when the picture needs finer tiles than are kept, the size of the (enlarged) tiles it is drawn from.
    std::optional<PictureSize> Coarser() const { return coarser_; }

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFU;

    // Whether a cell is one pixel at the chosen level: the picture has at most the map's cells each way.
    bool OnePixel() const { return cellWidth_ == 1 && cellHeight_ == 1; }
    Expected<const std::uint8_t*> LevelRow(std::size_t y);
    Expected<void> ResolveCells(std::size_t cellRow);
    void Weigh();  // With one pixel a cell: weighs the new ids' pixels, and adds a row of cells to the boxes' sums.
    Expected<void> AddCells(std::size_t cellRow);
    std::uint32_t Above(std::uint32_t below, std::uint32_t tile);
    void Composite(std::uint32_t stack, std::vector<std::uint8_t>& image) const;

    PictureSource& source_;
    const TileLevels& tiles_;
    std::vector<bool> drawn_;
    PictureSize size_;
    std::size_t level_ = 0;
    std::optional<PictureSize> coarser_;
    std::size_t cellWidth_ = 0;
    std::size_t cellHeight_ = 0;
    std::size_t columns_ = 0;
    PictureSize canvas_;  // The picture at the chosen level, which the rows are boxes of.
    std::vector<std::size_t> columnStart_;  // Canvas columns [columnStart_[x], columnEnd_[x]) make picture column x.
    std::vector<std::size_t> columnEnd_;
    std::vector<std::uint64_t> sums_;
    std::vector<std::uint8_t> row_;
    std::vector<std::uint8_t> levelRow_;
    std::optional<std::size_t> levelRowAt_;
    // What each column of the current cell row shows: kEmpty, a tile (or mark), or stack stacks_[id - tile count - 1].
    std::vector<std::uint32_t> cells_;
    std::optional<std::size_t> cellRow_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stacks_;  // {what lies below, the tile on it}
    std::unordered_map<std::uint64_t, std::uint32_t> stackIds_;
    std::vector<std::uint32_t> pairs_;  // Two-tile stacks by (below, tile), when the tileset is small enough.
    // Stacks drawn at the chosen level while within kCachedBytes (slots_[stack] is where, or kEmpty), then this row's.
    std::vector<std::uint8_t> images_;
    // With one pixel a cell: the pixel of every tile, the mark and every stack, by id.
    std::vector<std::uint8_t> colours_;
    // The same pixels as colour times alpha and alpha, after one entry for an empty cell.
    std::vector<std::uint32_t> weighted_;
    std::vector<std::uint32_t> slots_;
    std::vector<std::vector<std::uint8_t>> overflow_;
    std::vector<const std::uint8_t*> drawnCells_;
};

// Source-over compositing of one straight-alpha RGBA pixel onto another.
void BlendOver(std::uint8_t* below, const std::uint8_t* above);

}  // namespace gridport
