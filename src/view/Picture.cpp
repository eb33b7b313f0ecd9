#include "view/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "filesystem/ExactName.h"
#include "view/Wording.h"

namespace gridport {

namespace {

constexpr std::size_t kPixel = RgbaImage::kBytesPerPixel;

using Layers = std::vector<PictureSource::Layer>;

// Marks the layers named `name`; false when there is none.
bool MarkNamed(const Layers& layers, const std::string& name, bool value, std::vector<bool>& drawn) {
    bool found = false;
    for (std::size_t i = 0; i < layers.size(); ++i) {
        if (SameIgnoringCase(layers[i].name, name)) {
            drawn[i] = value;
            found = true;
        }
    }
    return found;
}

std::string LayerNames(const Layers& layers) {
    if (layers.empty()) {
        return "the map has no layers";
    }
    std::string names = layers.size() == 1 ? "the layer is " : "the layers are ";
    for (std::size_t i = 0; i < layers.size(); ++i) {
        names += (i == 0 ? "\"" : ", \"") + layers[i].name + "\"";
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

MapPicture::MapPicture(const TileMap& map) : map_(map) {
    for (const MapLayer& layer : map.layers) {
        layers_.push_back(Layer{layer.name, layer.showFlag, static_cast<std::uint64_t>(std::max(layer.width, 0)),
                                static_cast<std::uint64_t>(std::max(layer.height, 0))});
    }
}

Expected<const std::uint32_t*> MapPicture::Row(std::size_t layer, std::size_t row) {
    const MapLayer& cells = map_.layers[layer];
    return cells.tiles.data() + row * static_cast<std::size_t>(cells.width);
}

PictureSize MeasurePicture(const PictureSource& source) {
    std::uint64_t columns = 0;
    std::uint64_t rows = 0;
    for (const PictureSource::Layer& layer : source.Layers()) {
        columns = std::max(columns, layer.width);
        rows = std::max(rows, layer.height);
    }
    const Tileset& tiles = source.Tiles();
    return PictureSize{columns * static_cast<std::uint64_t>(std::max(tiles.tileWidth, 0)),
                       rows * static_cast<std::uint64_t>(std::max(tiles.tileHeight, 0))};
}

Expected<std::vector<bool>> ChooseLayers(const PictureSource& source, const LayerChoice& choice) {
    const Layers& layers = source.Layers();
    std::vector<bool> drawn(layers.size(), false);
    if (choice.only) {
        if (*choice.only >= layers.size()) {
            return Error({}, "there is no layer " + std::to_string(*choice.only) + "; the map has " +
                                 Counted(layers.size(), "layer"));
        }
        drawn[*choice.only] = true;
        return drawn;
    }
    for (std::size_t i = 0; i < layers.size(); ++i) {
        drawn[i] = choice.ignoreVisibility || layers[i].shown;
    }
    for (const bool show : {true, false}) {
        for (const std::string& name : show ? choice.show : choice.hide) {
            if (!MarkNamed(layers, name, show, drawn)) {
                return Error({}, "there is no layer named \"" + name + "\"; " + LayerNames(layers));
            }
        }
    }
    return drawn;
}

Expected<PictureSize> ScalePicture(PictureSize full, const PictureScale& scale) {
    if (full.width == 0 || full.height == 0) {
        return Error({}, "there is nothing to draw: the picture would be " + Dimensions(full.width, full.height));
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
    const PictureSize size{side(full.width, fit(true)), side(full.height, fit(false))};
    if (size.width > kMaxPictureSide || size.height > kMaxPictureSide) {
        return Error({}, "the picture would be " + Dimensions(size.width, size.height) +
                             "; pictures are drawn at most " + std::to_string(kMaxPictureSide) +
                             " pixels on a side (--scale or --size draws it smaller)");
    }
    return size;
}

PictureRows::PictureRows(PictureSource& source, std::vector<bool> drawn, PictureSize size)
    : source_(source), drawn_(std::move(drawn)), full_(MeasurePicture(source)), size_(size) {
    tileWidth_ = static_cast<std::size_t>(std::max(source.Tiles().tileWidth, 0));
    tileHeight_ = static_cast<std::size_t>(std::max(source.Tiles().tileHeight, 0));
    drawn_.resize(source.Layers().size(), false);
}

Expected<void> PictureRows::Start() {
    // Counted in 64 bits: a row of tiles can be more than a 32-bit process
    // can even ask for.
    const std::uint64_t strip = full_.width * tileHeight_ * kPixel;
    if (strip / kPixel / std::max<std::size_t>(tileHeight_, 1) != full_.width || strip > strip_.max_size()) {
        return Error({}, "not enough memory to draw a row of tiles " + Dimensions(full_.width, tileHeight_));
    }
    strip_.assign(static_cast<std::size_t>(strip), 0);
    const PictureSize size = size_;
    columnStart_.resize(static_cast<std::size_t>(size.width));
    columnEnd_.resize(static_cast<std::size_t>(size.width));
    sums_.resize(static_cast<std::size_t>(size.width) * kPixel);
    row_.resize(static_cast<std::size_t>(size.width) * kPixel);
    for (std::size_t x = 0; x < columnStart_.size(); ++x) {
        const auto [start, end] = Span(x, size.width, full_.width);
        columnStart_[x] = static_cast<std::size_t>(start);
        columnEnd_[x] = static_cast<std::size_t>(end);
    }
    return Success();
}

Expected<void> PictureRows::DrawTileRow(std::size_t tileRow) {
    std::fill(strip_.begin(), strip_.end(), std::uint8_t{0});
    stripRow_ = tileRow;
    const Tileset& tileset = source_.Tiles();
    const std::size_t tileCount = tileset.tiles.size();
    const auto stride = static_cast<std::size_t>(full_.width) * kPixel;
    for (std::size_t i = 0; i < drawn_.size(); ++i) {
        const PictureSource::Layer& layer = source_.Layers()[i];
        if (!drawn_[i] || tileRow >= layer.height) {
            continue;
        }
        const Expected<const std::uint32_t*> cells = source_.Row(i, tileRow);
        if (!cells) {
            return cells.error();
        }
        for (std::size_t x = 0; x < layer.width; ++x) {
            const std::uint32_t index = (*cells)[x];
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
    return Success();
}

Expected<const std::uint8_t*> PictureRows::FullRow(std::size_t y) {
    const std::size_t tileRow = y / tileHeight_;
    if (stripRow_ != tileRow) {
        if (Expected<void> drawn = DrawTileRow(tileRow); !drawn) {
            return drawn.error();
        }
    }
    return strip_.data() + (y % tileHeight_) * static_cast<std::size_t>(full_.width) * kPixel;
}

Expected<const std::uint8_t*> PictureRows::Row(std::size_t y) {
    if (size_.width == full_.width && size_.height == full_.height) {
        return FullRow(y);
    }
    // Straight alpha is averaged by weighting each colour with its alpha.
    std::fill(sums_.begin(), sums_.end(), std::uint64_t{0});
    const auto [top, bottom] = Span(y, size_.height, full_.height);
    for (std::uint64_t fullY = top; fullY < bottom; ++fullY) {
        const Expected<const std::uint8_t*> full = FullRow(static_cast<std::size_t>(fullY));
        if (!full) {
            return full;
        }
        const std::uint8_t* from = *full;
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

Expected<RgbaImage> DrawPicture(PictureSource& source, const std::vector<bool>& drawn, PictureSize size) {
    PictureRows rows(source, drawn, size);
    if (Expected<void> started = rows.Start(); !started) {
        return started.error();
    }
    RgbaImage canvas(static_cast<std::int32_t>(size.width), static_cast<std::int32_t>(size.height));
    const auto stride = static_cast<std::size_t>(size.width) * kPixel;
    for (std::size_t y = 0; y < static_cast<std::size_t>(size.height); ++y) {
        const Expected<const std::uint8_t*> row = rows.Row(y);
        if (!row) {
            return row.error();
        }
        std::memcpy(canvas.pixels.data() + y * stride, *row, stride);
    }
    return canvas;
}

}  // namespace gridport
