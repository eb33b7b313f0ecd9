#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/Error.h"
#include "map/TileMap.h"
#include "tileset/RgbaImage.h"

namespace gridport {

// Pictures larger than this on either side, as written, are refused.
constexpr std::uint64_t kMaxPictureSide = 16384;

struct PictureSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// What a picture is drawn from: the layers' names, flags and sizes, the
// tileset, and each layer's cells a row at a time. A map in memory is one
// source; a MAP file read as a stream is another.
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
    virtual const Tileset& Tiles() const = 0;
    // The cells of one row of one layer (its width of them), rows of a
    // layer asked for in order from 0. Valid until the next call.
    virtual Expected<const std::uint32_t*> Row(std::size_t layer, std::size_t row) = 0;
};

// A map held in memory as a picture's source.
class MapPicture final : public PictureSource {
public:
    explicit MapPicture(const TileMap& map);
    const std::vector<Layer>& Layers() const override { return layers_; }
    const Tileset& Tiles() const override { return map_.tileset; }
    Expected<const std::uint32_t*> Row(std::size_t layer, std::size_t row) override;

private:
    const TileMap& map_;
    std::vector<Layer> layers_;
};

// The full-size canvas of a picture: the widest layer times the tile width by
// the tallest layer times the tile height, over all layers.
PictureSize MeasurePicture(const PictureSource& source);

// Which layers a picture shows. By default the shown ones (the RMP layer
// flag bit 0 clear); ignoreVisibility starts from all of them; then the
// layers named in show are added and those named in hide left out, names
// compared without regard to letter case. `only` draws one layer alone.
struct LayerChoice {
    std::optional<std::size_t> only;
    std::vector<std::string> show;
    std::vector<std::string> hide;
    bool ignoreVisibility = false;
};

// One flag per layer; the error names a layer number or a name the map
// doesn't have.
Expected<std::vector<bool>> ChooseLayers(const PictureSource& source, const LayerChoice& choice);

// The size of the picture as written: the full size times factor, or, with
// fit, as large as fits within fit keeping the proportions; at least one
// pixel a side. Refused for an empty picture or one over kMaxPictureSide on
// a side.
struct PictureScale {
    std::optional<double> factor;
    std::optional<PictureSize> fit;
};
Expected<PictureSize> ScalePicture(PictureSize full, const PictureScale& scale);

// Draws a picture one row at a time, in order, at any size: each picture
// pixel covers a box of full-size pixels and is their average
// (alpha-weighted), or repeats the one full-size pixel under it when the
// picture is larger. Every chosen layer is drawn in order, each cell's tile
// composited source-over onto what lies below on a transparent canvas; a
// cell whose index is at or beyond the tile count draws nothing. Only one
// row of tiles is held at full size at a time.
class PictureRows {
public:
    PictureRows(PictureSource& source, std::vector<bool> drawn, PictureSize size);
    // Makes room for a row of tiles at full size; refused when it is more
    // than can be asked for.
    Expected<void> Start();
    // Row y of the picture, 4 bytes a pixel; rows are asked for in order
    // from 0. Valid until the next call.
    Expected<const std::uint8_t*> Row(std::size_t y);

private:
    Expected<const std::uint8_t*> FullRow(std::size_t y);
    Expected<void> DrawTileRow(std::size_t tileRow);

    PictureSource& source_;
    std::vector<bool> drawn_;
    PictureSize full_;
    PictureSize size_;
    std::size_t tileWidth_ = 0;
    std::size_t tileHeight_ = 0;
    // The full-size pixels of one row of tiles, and which row it is.
    std::vector<std::uint8_t> strip_;
    std::optional<std::size_t> stripRow_;
    // Full-size columns [columnStart_[x], columnEnd_[x]) make picture column x.
    std::vector<std::size_t> columnStart_;
    std::vector<std::size_t> columnEnd_;
    std::vector<std::uint64_t> sums_;
    std::vector<std::uint8_t> row_;
};

// The whole picture in one image: the chosen layers at the given size.
Expected<RgbaImage> DrawPicture(PictureSource& source, const std::vector<bool>& drawn, PictureSize size);

// Source-over compositing of one straight-alpha RGBA pixel onto another.
void BlendOver(std::uint8_t* below, const std::uint8_t* above);

}  // namespace gridport
