#include "view/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include "view/Wording.h"

namespace gridport {

namespace {

constexpr std::size_t kPixel = RgbaImage::kBytesPerPixel;

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Marks the layers named `name`; false when there is none.
bool MarkNamed(const TileMap& map, const std::string& name, bool value, std::vector<bool>& drawn) {
    bool found = false;
    for (std::size_t i = 0; i < map.layers.size(); ++i) {
        if (SameName(map.layers[i].name, name)) {
            drawn[i] = value;
            found = true;
        }
    }
    return found;
}

std::string LayerNames(const TileMap& map) {
    if (map.layers.empty()) {
        return "the map has no layers";
    }
    std::string names = map.layers.size() == 1 ? "the layer is " : "the layers are ";
    for (std::size_t i = 0; i < map.layers.size(); ++i) {
        names += (i == 0 ? "\"" : ", \"") + map.layers[i].name + "\"";
    }
    return names;
}

std::string Dimensions(std::uint64_t width, std::uint64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Full-size positions [start, end) that make up picture position i of
// `count`, over `full` positions: a box when the picture is smaller, the
// one position under it when it is larger.
std::pair<std::uint64_t, std::uint64_t> Span(std::uint64_t i, std::uint64_t count, std::uint64_t full) {
    const std::uint64_t start = i * full / count;
    return {start, std::max(start + 1, (i + 1) * full / count)};
}

}  // namespace

void BlendOver(std::uint8_t* below, const std::uint8_t* above) {
    const std::uint32_t alpha = above[3];
    if (alpha == 255) {
        std::memcpy(below, above, kPixel);
        return;
    }
    if (alpha == 0) {
        return;
    }
    // In units of 1/255 squared: the covered share of what lies below.
    const std::uint32_t belowWeight = below[3] * (255 - alpha);
    const std::uint32_t total = alpha * 255 + belowWeight;
    for (std::size_t c = 0; c < 3; ++c) {
        below[c] = static_cast<std::uint8_t>((above[c] * alpha * 255 + below[c] * belowWeight + total / 2) / total);
    }
    below[3] = static_cast<std::uint8_t>((total + 127) / 255);
}

PictureSize MeasurePicture(const TileMap& map) {
    std::uint64_t columns = 0;
    std::uint64_t rows = 0;
    for (const MapLayer& layer : map.layers) {
        columns = std::max<std::uint64_t>(columns, static_cast<std::uint64_t>(std::max(layer.width, 0)));
        rows = std::max<std::uint64_t>(rows, static_cast<std::uint64_t>(std::max(layer.height, 0)));
    }
    return PictureSize{columns * static_cast<std::uint64_t>(std::max(map.tileset.tileWidth, 0)),
                       rows * static_cast<std::uint64_t>(std::max(map.tileset.tileHeight, 0))};
}

bool ChooseLayers(const TileMap& map, const LayerChoice& choice, std::vector<bool>& drawn, std::string& error) {
    drawn.assign(map.layers.size(), false);
    if (choice.only) {
        if (*choice.only >= map.layers.size()) {
            error = "there is no layer " + std::to_string(*choice.only) + "; the map has " +
                    Counted(map.layers.size(), "layer", "layers");
            return false;
        }
        drawn[*choice.only] = true;
        return true;
    }
    for (std::size_t i = 0; i < map.layers.size(); ++i) {
        drawn[i] = choice.ignoreVisibility || map.layers[i].showFlag;
    }
    for (const bool show : {true, false}) {
        for (const std::string& name : show ? choice.show : choice.hide) {
            if (!MarkNamed(map, name, show, drawn)) {
                error = "there is no layer named \"" + name + "\"; " + LayerNames(map);
                return false;
            }
        }
    }
    return true;
}

bool ScalePicture(PictureSize full, const PictureScale& scale, PictureSize& size, std::string& error) {
    if (full.width == 0 || full.height == 0) {
        error = "there is nothing to draw: the picture would be " + Dimensions(full.width, full.height);
        return false;
    }
    double factor = scale.factor.value_or(1.0);
    if (scale.fit) {
        factor = std::min(static_cast<double>(scale.fit->width) / static_cast<double>(full.width),
                          static_cast<double>(scale.fit->height) / static_cast<double>(full.height));
    }
    const auto side = [factor](std::uint64_t length, std::optional<std::uint64_t> fit) {
        const double scaled = std::max(1.0, std::round(static_cast<double>(length) * factor));
        // Far beyond the limit either way; keeps the conversion defined.
        const auto whole = static_cast<std::uint64_t>(std::min(scaled, 1e18));
        return fit ? std::min(whole, *fit) : whole;
    };
    const auto fit = [&scale](bool wide) -> std::optional<std::uint64_t> {
        if (!scale.fit) {
            return std::nullopt;
        }
        return wide ? scale.fit->width : scale.fit->height;
    };
    size = PictureSize{side(full.width, fit(true)), side(full.height, fit(false))};
    if (size.width > kMaxPictureSide || size.height > kMaxPictureSide) {
        error = "the picture would be " + Dimensions(size.width, size.height) + "; pictures are drawn at most " +
                std::to_string(kMaxPictureSide) + " pixels on a side (--scale or --size draws it smaller)";
        return false;
    }
    return true;
}

bool PictureRows::Start(const TileMap& map, const std::vector<bool>& drawn, PictureSize size, std::string& error) {
    map_ = &map;
    full_ = MeasurePicture(map);
    size_ = size;
    tileWidth_ = static_cast<std::size_t>(std::max(map.tileset.tileWidth, 0));
    tileHeight_ = static_cast<std::size_t>(std::max(map.tileset.tileHeight, 0));
    stripRow_.reset();
    try {
        drawn_ = drawn;
        drawn_.resize(map.layers.size(), false);
        strip_.assign(static_cast<std::size_t>(full_.width) * tileHeight_ * kPixel, 0);
        columnStart_.resize(static_cast<std::size_t>(size.width));
        columnEnd_.resize(static_cast<std::size_t>(size.width));
        sums_.resize(static_cast<std::size_t>(size.width) * kPixel);
        row_.resize(static_cast<std::size_t>(size.width) * kPixel);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to draw a row of tiles " + Dimensions(full_.width, tileHeight_);
        return false;
    } catch (const std::length_error&) {
        error = "not enough memory to draw a row of tiles " + Dimensions(full_.width, tileHeight_);
        return false;
    }
    for (std::size_t x = 0; x < columnStart_.size(); ++x) {
        const auto [start, end] = Span(x, size.width, full_.width);
        columnStart_[x] = static_cast<std::size_t>(start);
        columnEnd_[x] = static_cast<std::size_t>(end);
    }
    return true;
}

void PictureRows::DrawTileRow(std::size_t tileRow) {
    std::fill(strip_.begin(), strip_.end(), std::uint8_t{0});
    stripRow_ = tileRow;
    const Tileset& tileset = map_->tileset;
    const std::size_t tileCount = tileset.tiles.size();
    const auto stride = static_cast<std::size_t>(full_.width) * kPixel;
    for (std::size_t i = 0; i < map_->layers.size(); ++i) {
        const MapLayer& layer = map_->layers[i];
        const auto width = static_cast<std::size_t>(std::max(layer.width, 0));
        const auto height = static_cast<std::size_t>(std::max(layer.height, 0));
        if (!drawn_[i] || tileRow >= height || layer.tiles.size() != width * height) {
            continue;
        }
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t index = layer.tiles[tileRow * width + x];
            if (index >= tileCount) {
                continue;
            }
            const std::vector<std::uint8_t>& source = tileset.tiles[index].image.pixels;
            if (source.size() != tileWidth_ * tileHeight_ * kPixel) {
                continue;
            }
            for (std::size_t row = 0; row < tileHeight_; ++row) {
                const std::uint8_t* from = source.data() + row * tileWidth_ * kPixel;
                std::uint8_t* to = strip_.data() + row * stride + x * tileWidth_ * kPixel;
                for (std::size_t column = 0; column < tileWidth_; ++column) {
                    BlendOver(to + column * kPixel, from + column * kPixel);
                }
            }
        }
    }
}

const std::uint8_t* PictureRows::FullRow(std::size_t y) {
    const std::size_t tileRow = y / tileHeight_;
    if (stripRow_ != tileRow) {
        DrawTileRow(tileRow);
    }
    return strip_.data() + (y % tileHeight_) * static_cast<std::size_t>(full_.width) * kPixel;
}

const std::uint8_t* PictureRows::Row(std::size_t y) {
    if (size_.width == full_.width && size_.height == full_.height) {
        return FullRow(y);
    }
    // Straight alpha is averaged by weighting each colour with its alpha.
    std::fill(sums_.begin(), sums_.end(), std::uint64_t{0});
    const auto [top, bottom] = Span(y, size_.height, full_.height);
    for (std::uint64_t fullY = top; fullY < bottom; ++fullY) {
        const std::uint8_t* from = FullRow(static_cast<std::size_t>(fullY));
        for (std::size_t x = 0; x < columnStart_.size(); ++x) {
            std::uint64_t* sum = sums_.data() + x * kPixel;
            for (std::size_t column = columnStart_[x]; column < columnEnd_[x]; ++column) {
                const std::uint8_t* pixel = from + column * kPixel;
                const std::uint64_t alpha = pixel[3];
                sum[0] += pixel[0] * alpha;
                sum[1] += pixel[1] * alpha;
                sum[2] += pixel[2] * alpha;
                sum[3] += alpha;
            }
        }
    }
    for (std::size_t x = 0; x < columnStart_.size(); ++x) {
        const std::uint64_t* sum = sums_.data() + x * kPixel;
        std::uint8_t* to = row_.data() + x * kPixel;
        const std::uint64_t count = (bottom - top) * (columnEnd_[x] - columnStart_[x]);
        const std::uint64_t alpha = (sum[3] + count / 2) / count;
        for (std::size_t c = 0; c < 3; ++c) {
            to[c] = alpha == 0 ? 0 : static_cast<std::uint8_t>((sum[c] + sum[3] / 2) / sum[3]);
        }
        to[3] = static_cast<std::uint8_t>(alpha);
    }
    return row_.data();
}

bool DrawPicture(const TileMap& map, const std::vector<bool>& drawn, PictureSize size, RgbaImage& canvas,
                 std::string& error) {
    PictureRows rows;
    if (!rows.Start(map, drawn, size, error)) {
        return false;
    }
    try {
        canvas = RgbaImage(static_cast<std::int32_t>(size.width), static_cast<std::int32_t>(size.height));
    } catch (const std::bad_alloc&) {
        error = "not enough memory for a picture of " + Dimensions(size.width, size.height);
        return false;
    }
    const auto stride = static_cast<std::size_t>(size.width) * kPixel;
    for (std::size_t y = 0; y < static_cast<std::size_t>(size.height); ++y) {
        std::memcpy(canvas.pixels.data() + y * stride, rows.Row(y), stride);
    }
    return true;
}

bool DrawPicture(const TileMap& map, std::optional<std::size_t> onlyLayer, RgbaImage& canvas, std::string& error) {
    std::vector<bool> drawn;
    PictureSize size;
    return ChooseLayers(map, LayerChoice{onlyLayer, {}, {}, false}, drawn, error) &&
           ScalePicture(MeasurePicture(map), PictureScale{}, size, error) &&
           DrawPicture(map, drawn, size, canvas, error);
}

}  // namespace gridport
