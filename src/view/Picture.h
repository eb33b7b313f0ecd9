#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "map/TileMap.h"
#include "tileset/RgbaImage.h"

namespace gridport {

// Pictures larger than this on either side are refused, not allocated.
constexpr std::uint64_t kMaxPictureSide = 16384;

struct PictureSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// The canvas of a map's picture: the widest layer times the tile width by
// the tallest layer times the tile height, over all layers.
PictureSize MeasurePicture(const TileMap& map);

// Draws the map onto a transparent canvas of MeasurePicture's size: every
// layer whose show flag is set, in file order, or, when onlyLayer is given,
// that layer alone whatever its flag. Each cell's tile is composited
// source-over onto what lies below; a cell whose index is at or beyond the
// tile count draws nothing. False, with error set to one line, for an empty
// or too large picture, a layer that doesn't exist, or too little memory.
bool DrawPicture(const TileMap& map, std::optional<std::size_t> onlyLayer, RgbaImage& canvas, std::string& error);

// Source-over compositing of one straight-alpha RGBA pixel onto another.
void BlendOver(std::uint8_t* below, const std::uint8_t* above);

}  // namespace gridport
