#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "map/TileMap.h"
#include "tileset/RgbaImage.h"

namespace gridport {

// Pictures larger than this on either side, as written, are refused.
constexpr std::uint64_t kMaxPictureSide = 16384;

struct PictureSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// The full-size canvas of a map's picture: the widest layer times the tile
// width by the tallest layer times the tile height, over all layers.
PictureSize MeasurePicture(const TileMap& map);

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

// One flag per layer of the map. False, with error set to one line, for a
// layer number or a name the map doesn't have.
bool ChooseLayers(const TileMap& map, const LayerChoice& choice, std::vector<bool>& drawn, std::string& error);

// The size of the picture as written: the full size times factor, or, with
// fit, as large as fits within fit keeping the proportions; at least one
// pixel a side. False, with error set, for an empty picture or one over
// kMaxPictureSide on a side.
struct PictureScale {
    std::optional<double> factor;
    std::optional<PictureSize> fit;
};
bool ScalePicture(PictureSize full, const PictureScale& scale, PictureSize& size, std::string& error);

// Draws a map's picture one row at a time, in order, at any size: each
// picture pixel covers a box of full-size pixels and is their average
// (alpha-weighted), or repeats the one full-size pixel under it when the
// picture is larger. Every chosen layer is drawn in file order, each cell's
// tile composited source-over onto what lies below on a transparent canvas;
// a cell whose index is at or beyond the tile count draws nothing. Only one
// row of tiles is held at full size at a time.
class PictureRows {
public:
    // False, with error set, when there is not enough memory.
    bool Start(const TileMap& map, const std::vector<bool>& drawn, PictureSize size, std::string& error);
    // Row y of the picture, 4 bytes a pixel; rows are asked for in order
    // from 0. Valid until the next call.
    const std::uint8_t* Row(std::size_t y);

private:
    const std::uint8_t* FullRow(std::size_t y);
    void DrawTileRow(std::size_t tileRow);

    const TileMap* map_ = nullptr;
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

// The whole picture in one image, through PictureRows: the chosen layers at
// the given size.
bool DrawPicture(const TileMap& map, const std::vector<bool>& drawn, PictureSize size, RgbaImage& canvas,
                 std::string& error);
// At full size: the shown layers, or the one layer onlyLayer whatever its
// flag.
bool DrawPicture(const TileMap& map, std::optional<std::size_t> onlyLayer, RgbaImage& canvas, std::string& error);

// Source-over compositing of one straight-alpha RGBA pixel onto another.
void BlendOver(std::uint8_t* below, const std::uint8_t* above);

}  // namespace gridport
