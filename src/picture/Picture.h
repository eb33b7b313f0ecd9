#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "tileset/Rgba.h"
#include "picture/TileLevels.h"

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
    // One row of one layer's cells (its width of them); rows come in order, a row perhaps again. Valid until the next call.
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

// Stacks of tiles into pixels: the chosen layers' cells composited source-over, in order, on a transparent canvas, at one
// reduced level (see TileLevels), one canvas row at a time; a cell at or beyond the tile count draws nothing (or the mark,
// see PictureSource::MarksBeyond). Where tiles show through one another, each distinct stack is composited at the finest
// kept level and reduced, once, and kept for the cells after it. Its memory is fixed at Start: a table of kMostStacks
// stacks, kCachedBytes of composites, a row of cells and a canvas row. Composites cost at most kMostBlends pixels
// together. When a row of cells would need more than any of these, that row and the rest are composited from the tiles
// at the level itself, layer by layer, as tmxrasterizer draws a scaled map: at full size the same pixels; reduced, the
// composite of reduced tiles (see Reduced). With a pixel a cell, the stacks' pixels sit in a table of their own.
class Compositor {
public:
    static constexpr std::size_t kMostStacks = std::size_t{1} << 15;
    static constexpr std::size_t kCachedBytes = std::size_t{1} << 20;
    static constexpr std::uint64_t kMostBlends = std::uint64_t{1} << 26;

    Compositor(PictureSource& source, std::vector<bool> drawn, std::size_t level);
    void Start();
    PictureSize Canvas() const { return canvas_; }
    // Canvas row y, 4 bytes a pixel; rows are asked for in order from 0, each perhaps again. Valid until the next call.
    Expected<const std::uint8_t*> Row(std::size_t y);
    // Whether pixels were composited from reduced tiles, which differs from reducing the full-size composite.
    bool Reduced() const { return reduced_; }
    // The first canvas row composited layer by layer, if any.
    std::optional<std::size_t> LayerByLayerFrom() const { return layerByLayerFrom_; }

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFU;

    // The cells' stacks and composites of a row of cells; false when they need more than the budgets.
    Expected<bool> ResolveCells(std::size_t cellRow);
    // The id of `tile` over `below`; kEmpty when the table is full.
    std::uint32_t Above(std::uint32_t below, std::uint32_t tile);
    void Composite(std::uint8_t* image);  // The stack in chain_, at the level.
    // A canvas row drawn layer by layer from the tiles at the level.
    Expected<void> LayerByLayer(std::size_t y);
    // A cell's tile as drawn: kEmpty for nothing, the tile count for the mark.
    std::uint32_t Drawn(std::uint32_t cell) const;

    PictureSource& source_;
    const TileLevels& tiles_;
    std::vector<bool> drawn_;
    std::size_t level_;
    std::uint32_t count_;
    bool marks_;
    const TileLevels::Cover* covers_;
    std::size_t cellWidth_ = 0;
    std::size_t cellHeight_ = 0;
    std::size_t columns_ = 0;
    PictureSize canvas_;
    std::vector<std::uint8_t> row_;
    std::optional<std::size_t> rowAt_;
    // What each column of the current cell row shows: kEmpty, a tile (or mark), or stack stacks_[id - tile count - 1].
    std::vector<std::uint32_t> cells_;
    std::optional<std::size_t> cellRow_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stacks_;  // {what lies below, the tile on it}
    std::unordered_map<std::uint64_t, std::uint32_t> stackIds_;
    std::vector<std::uint32_t> pairs_;  // Two-tile stacks by (below, tile), when the tileset is small enough.
    std::vector<std::uint8_t> images_;  // Composites at the level; slots_[stack] is where (or kEmpty).
    std::vector<std::uint32_t> slots_;
    std::vector<std::uint8_t> colours_;  // With a pixel a cell, by id plus one: clear, the tiles', the stacks'.
    std::size_t composited_ = 0;         // Stacks in colours_.
    std::vector<std::uint8_t> full_;  // A composite at the finest kept level, when that is finer (a tile's size).
    std::vector<std::uint32_t> chain_;
    std::uint64_t blends_ = 0;
    bool reduced_ = false;
    std::optional<std::size_t> layerByLayerFrom_;
};

// Pixels into the picture: each picture pixel is the alpha-weighted mean of the canvas it covers, partly covered canvas
// pixels weighed by the share covered; enlarged, it repeats the canvas pixel under it. Holds one row of sums.
class Resampler {
public:
    Resampler(PictureSize canvas, PictureSize picture);
    // Picture row y from the canvas rows under it, each asked of canvasRow once, in order; valid until the next call.
    template <typename CanvasRow>
    Expected<const std::uint8_t*> Row(std::size_t y, CanvasRow canvasRow);

private:
    // Along one side: picture position i covers canvas positions [start[i], end[i]), the first and last weighing
    // first[i] and last[i], those between `whole`, all of them `total` together (1 each when `even`).
    struct Axis {
        std::vector<std::size_t> start;
        std::vector<std::size_t> end;
        std::vector<std::uint64_t> first;
        std::vector<std::uint64_t> last;
        std::uint64_t whole = 1;
        bool even = true;
        std::uint64_t Weight(std::size_t i, std::size_t at) const {
            return at == start[i] ? first[i] : at + 1 == end[i] ? last[i] : whole;
        }
        std::uint64_t Total(std::size_t i) const;
    };
    static Axis Measure(std::uint64_t canvas, std::uint64_t picture);
    void Add(const std::uint8_t* pixels, std::uint64_t weight);
    const std::uint8_t* Finish(std::size_t y);

    PictureSize canvas_;
    PictureSize picture_;
    Axis across_;
    Axis down_;
    std::vector<std::uint64_t> sums_;
    std::vector<std::uint8_t> row_;
};

template <typename CanvasRow>
Expected<const std::uint8_t*> Resampler::Row(std::size_t y, CanvasRow canvasRow) {
    if (canvas_.width == picture_.width && canvas_.height == picture_.height) {
        return canvasRow(y);
    }
    std::fill(sums_.begin(), sums_.end(), std::uint64_t{0});
    for (std::size_t at = down_.start[y]; at < down_.end[y]; ++at) {
        const Expected<const std::uint8_t*> pixels = canvasRow(at);
        if (!pixels) {
            return pixels;
        }
        Add(*pixels, down_.even ? 1 : down_.Weight(y, at));
    }
    return Finish(y);
}

// Draws a picture row by row, in order, at any size: a Compositor at the level the picture needs and a Resampler. At a
// whole ratio (the full size a whole number of times the picture's, each way) each pixel is within 1 of the
// alpha-weighted box filter of the full-size picture, unless Note says otherwise; enlarged, it repeats the full-size
// pixel under it. The level is the coarsest whose pixels make whole picture pixels, no wider than kMostCanvasWidth.
class PictureRows {
public:
    static constexpr std::uint64_t kMostCanvasWidth = std::uint64_t{1} << 18;

    PictureRows(PictureSource& source, std::vector<bool> drawn, PictureSize size);
    Expected<void> Start();  // Chooses the level; refused when there is nothing to draw.
    // Row y of the picture, 4 bytes a pixel; rows are asked for in order from 0. Valid until the next call.
    Expected<const std::uint8_t*> Row(std::size_t y);
    // After Start: when the picture needs finer tiles than are kept, the size of the (enlarged) tiles it is drawn from.
    std::optional<PictureSize> Coarser() const { return coarser_; }
    // After the rows: why the picture is not the box filter of the full-size one, a sentence; none when it is.
    std::optional<std::string> Note() const;

private:
    PictureSource& source_;
    const TileLevels& tiles_;
    std::vector<bool> drawn_;
    PictureSize size_;
    std::size_t level_ = 0;
    std::optional<PictureSize> coarser_;
    bool whole_ = false;    // The full size is a whole number of times the picture's, each way.
    bool inexact_ = false;  // The level's pixels don't make whole picture pixels at a whole ratio.
    std::optional<Compositor> compositor_;
    std::optional<Resampler> resampler_;
};

// Source-over compositing of one straight-alpha RGBA pixel onto another.
void BlendOver(std::uint8_t* below, const std::uint8_t* above);

}  // namespace gridport
