#include "picture/Picture.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <cstring>
#include <string>

#include "base/Text.h"
#include "picture/Wording.h"

namespace gridport {

namespace {

constexpr std::size_t kPixel = kBytesPerPixel;

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

// Adds each picture column's span [starts[x], ends[x]) of a row to its box's four sums; add(position, box) adds one.
// The box is kept in locals so the compiler needn't fear stores to sums alias the bytes read.
template <typename Add>
void AddSpans(const std::vector<std::size_t>& starts, const std::vector<std::size_t>& ends, std::uint64_t* sums,
              Add add) {
    for (std::size_t x = 0; x < starts.size(); ++x, sums += kPixel) {
        std::uint64_t box[kPixel] = {sums[0], sums[1], sums[2], sums[3]};
        for (std::size_t at = starts[x]; at < ends[x]; ++at) {
            add(at, box);
        }
        std::copy_n(box, kPixel, sums);
    }
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

PictureSize MeasurePicture(const PictureSource& source) {
    std::uint64_t columns = 0;
    std::uint64_t rows = 0;
    for (const PictureSource::Layer& layer : source.Layers()) {
        columns = std::max(columns, layer.width);
        rows = std::max(rows, layer.height);
    }
    const TileLevels& tiles = source.Tiles();
    return PictureSize{columns * tiles.TileWidth(), rows * tiles.TileHeight()};
}

Expected<std::vector<bool>> ChooseLayers(const PictureSource& source, const LayerChoice& choice) {
    const Layers& layers = source.Layers();
    std::vector<bool> drawn(layers.size(), false);
    const bool picked = !choice.numbers.empty() || !choice.show.empty();
    for (std::size_t i = 0; i < layers.size(); ++i) {
        drawn[i] = !picked && (choice.ignoreVisibility || layers[i].shown);
    }
    for (const std::size_t number : choice.numbers) {
        if (number >= layers.size()) {
            return Error(ErrorKind::Usage, {},
                         "there is no layer " + std::to_string(number) + "; the map has " +
                             Counted(layers.size(), "layer"));
        }
        drawn[number] = true;
    }
    for (const bool show : {true, false}) {
        for (const std::string& name : show ? choice.show : choice.hide) {
            if (!MarkNamed(layers, name, show, drawn)) {
                return Error(ErrorKind::Usage, {}, "there is no layer named \"" + name + "\"; " + LayerNames(layers));
            }
        }
    }
    if (!choice.hide.empty() && !layers.empty() && std::find(drawn.begin(), drawn.end(), true) == drawn.end()) {
        return Error(ErrorKind::Usage, {}, "--hide-layer leaves no layer to draw");
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
    const auto side = [factor](std::uint64_t length, std::uint64_t most) {
        const double scaled = std::max(1.0, std::round(static_cast<double>(length) * factor));
        // Far beyond the limit either way; keeps the conversion defined.
        return std::min(static_cast<std::uint64_t>(std::min(scaled, 1e18)), most);
    };
    const PictureSize most = scale.fit.value_or(PictureSize{UINT64_MAX, UINT64_MAX});
    const PictureSize size{side(full.width, most.width), side(full.height, most.height)};
    if (size.width > kMaxPictureSide || size.height > kMaxPictureSide) {
        return Error({}, "the picture would be " + Dimensions(size.width, size.height) +
                             "; pictures are drawn at most " + std::to_string(kMaxPictureSide) +
                             " pixels on a side (--scale or --size draws it smaller)");
    }
    return size;
}

namespace {

// Two-tile stacks are looked up in a table of (tiles + 1) squared entries when it has at most this many.
constexpr std::uint64_t kMostPairs = std::uint64_t{1} << 18;

}  // namespace

Compositor::Compositor(PictureSource& source, std::vector<bool> drawn, std::size_t level)
    : source_(source),
      tiles_(source.Tiles()),
      drawn_(std::move(drawn)),
      level_(level),
      count_(tiles_.TileCount()),
      marks_(source.MarksBeyond()),
      covers_(tiles_.Covers()) {
    drawn_.resize(source.Layers().size(), false);
}

void Compositor::Start() {
    const PictureSize full = MeasurePicture(source_);
    columns_ = static_cast<std::size_t>(full.width / tiles_.TileWidth());
    const std::uint64_t rows = full.height / tiles_.TileHeight();
    cellWidth_ = tiles_.LevelWidth(level_);
    cellHeight_ = tiles_.LevelHeight(level_);
    canvas_ = PictureSize{columns_ * std::uint64_t{cellWidth_}, rows * cellHeight_};
    const std::uint64_t count = std::uint64_t{tiles_.TileCount()} + 1;
    if (count * count <= kMostPairs) {
        pairs_.assign(static_cast<std::size_t>(count * count), kEmpty);
    }
    cells_.assign(columns_, kEmpty);
    row_.assign(static_cast<std::size_t>(canvas_.width) * kPixel, 0);
    // The budgets, taken whole now so that they never grow.
    stacks_.reserve(kMostStacks);
    stackIds_.reserve(kMostStacks);
    slots_.reserve(kMostStacks);
    images_.reserve(kCachedBytes);
    if (cellWidth_ == 1 && cellHeight_ == 1) {
        // A pixel a cell: every tile's pixel and every stack's, by id plus one (kEmpty's entry 0 is clear).
        colours_.assign((std::size_t{count_} + 2 + kMostStacks) * kPixel, 0);
        std::memcpy(colours_.data() + kPixel, tiles_.Pixels(level_, 0), (std::size_t{count_} + 1) * kPixel);
    }
}

std::uint32_t Compositor::Drawn(std::uint32_t cell) const {
    if (cell >= count_) {
        return marks_ && cell != kNoTile ? count_ : kEmpty;
    }
    return covers_[cell] == TileLevels::Cover::Clear ? kEmpty : cell;
}

std::uint32_t Compositor::Above(std::uint32_t below, std::uint32_t tile) {
    const std::uint32_t count = tiles_.TileCount() + 1;
    std::uint32_t* pair = nullptr;
    if (below < count && !pairs_.empty()) {
        pair = &pairs_[std::size_t{below} * count + tile];
        if (*pair != kEmpty) {
            return *pair;
        }
    }
    const std::uint64_t key = (std::uint64_t{below} << 32) | tile;
    if (const auto found = stackIds_.find(key); found != stackIds_.end()) {
        return found->second;
    }
    if (stacks_.size() == kMostStacks) {
        return kEmpty;
    }
    const auto id = count + static_cast<std::uint32_t>(stacks_.size());
    stackIds_.emplace(key, id);
    stacks_.emplace_back(below, tile);
    slots_.push_back(kEmpty);
    if (pair != nullptr) {
        *pair = id;
    }
    return id;
}

Expected<bool> Compositor::ResolveCells(std::size_t cellRow) {
    cellRow_ = cellRow;
    const std::uint32_t count = tiles_.TileCount();
    const std::size_t side = std::size_t{count} + 1;
    const bool paired = !pairs_.empty();
    const TileLevels::Cover* covers = tiles_.Covers();
    // The row's first layer sets cells without looking below; columns it doesn't reach, and rows none reach, are empty.
    std::size_t set = 0;
    for (std::size_t i = 0; i < drawn_.size(); ++i) {
        const PictureSource::Layer& layer = source_.Layers()[i];
        if (!drawn_[i] || cellRow >= layer.height) {
            continue;
        }
        const Expected<const std::uint32_t*> cells = source_.Row(i, cellRow);
        if (!cells) {
            return cells.error();
        }
        const std::uint32_t* row = *cells;
        std::uint32_t* out = cells_.data();
        const auto width = static_cast<std::size_t>(layer.width);
        std::size_t x = 0;
        for (const std::size_t shared = std::min(width, set); x < shared; ++x) {
            std::uint32_t tile = row[x];
            if (tile >= count) {
                if (!marks_ || tile == kNoTile) {
                    continue;
                }
                tile = count;
            }
            const TileLevels::Cover cover = covers[tile];
            if (cover == TileLevels::Cover::Clear) {
                continue;
            }
            const std::uint32_t below = out[x];
            if (below == kEmpty || cover == TileLevels::Cover::Opaque) {
                out[x] = tile;
            } else if (const std::uint32_t pair = paired && below <= count ? pairs_[below * side + tile] : kEmpty;
                       pair != kEmpty) {
                out[x] = pair;
            } else if (const std::uint32_t stack = Above(below, tile); stack != kEmpty) {
                out[x] = stack;
            } else {
                return false;
            }
        }
        for (; x < width; ++x) {
            out[x] = Drawn(row[x]);
        }
        set = std::max(set, width);
    }
    std::fill(cells_.begin() + static_cast<std::ptrdiff_t>(set), cells_.end(), kEmpty);
    // What each column draws; new stacks are composited and kept while there is room, which a row starts with.
    const std::size_t bytes = cellWidth_ * cellHeight_ * kPixel;
    const bool onePixel = !colours_.empty();
    if (!onePixel && images_.size() + bytes > images_.capacity()) {
        images_.clear();
        std::fill(slots_.begin(), slots_.end(), kEmpty);
    }
    // With a pixel a cell nothing is let go: once every stack is composited, no column needs looking at.
    for (std::size_t x = 0; x < columns_ && !(onePixel && composited_ == stacks_.size()); ++x) {
        const std::uint32_t cell = cells_[x];
        if (cell <= count || cell == kEmpty || slots_[cell - side] != kEmpty) {
            continue;
        }
        if (!onePixel && images_.size() + bytes > images_.capacity()) {
            return false;
        }
        chain_.clear();
        std::uint32_t stack = cell;
        for (; stack > count; stack = stacks_[stack - side].first) {
            chain_.push_back(stacks_[stack - side].second);
        }
        chain_.push_back(stack);
        const std::size_t finest = tiles_.FinestKept();
        const std::uint64_t blends =
            std::uint64_t{chain_.size()} * tiles_.LevelWidth(finest) * tiles_.LevelHeight(finest);
        if (blends_ + blends > kMostBlends) {
            return false;
        }
        blends_ += blends;
        if (onePixel) {
            slots_[cell - side] = 0;
            ++composited_;
            Composite(colours_.data() + (std::size_t{cell} + 1) * kPixel);
            continue;
        }
        slots_[cell - side] = static_cast<std::uint32_t>(images_.size() / bytes);
        images_.resize(images_.size() + bytes);
        Composite(images_.data() + images_.size() - bytes);
    }
    return true;
}

void Compositor::Composite(std::uint8_t* image) {
    // chain_ holds the stack's tiles from the top down: drawn at the finest kept level, bottom up, then reduced.
    const std::size_t finest = tiles_.FinestKept();
    const std::size_t width = tiles_.LevelWidth(finest);
    const std::size_t height = tiles_.LevelHeight(finest);
    const bool here = finest == level_;
    reduced_ = reduced_ || finest != 0;
    std::uint8_t* drawn = image;
    if (!here) {
        full_.assign(width * height * kPixel, 0);
        drawn = full_.data();
    }
    const std::size_t size = width * height * kPixel;
    std::fill_n(drawn, size, std::uint8_t{0});
    for (auto tile = chain_.rbegin(); tile != chain_.rend(); ++tile) {
        const std::uint8_t* from = tiles_.Pixels(finest, *tile);
        for (std::size_t k = 0; k < size; k += kPixel) {
            BlendOver(drawn + k, from + k);
        }
    }
    if (here) {
        return;
    }
    const std::size_t shift = level_ - finest;
    for (std::size_t y = 0; y < cellHeight_; ++y) {
        const std::size_t top = y << shift;
        const std::size_t bottom = std::min(height, (y + 1) << shift);
        for (std::size_t x = 0; x < cellWidth_; ++x) {
            const std::size_t left = x << shift;
            const std::size_t right = std::min(width, (x + 1) << shift);
            std::uint64_t sum[4] = {0, 0, 0, 0};
            for (std::size_t row = top; row < bottom; ++row) {
                for (std::size_t column = left; column < right; ++column) {
                    const std::uint8_t* pixel = drawn + (row * width + column) * kPixel;
                    const std::uint64_t alpha = pixel[3];
                    sum[0] += pixel[0] * alpha;
                    sum[1] += pixel[1] * alpha;
                    sum[2] += pixel[2] * alpha;
                    sum[3] += alpha;
                }
            }
            MeanPixel(sum, (bottom - top) * (right - left), image + (y * cellWidth_ + x) * kPixel);
        }
    }
}

Expected<void> Compositor::LayerByLayer(std::size_t y) {
    reduced_ = reduced_ || level_ != 0;
    std::fill(row_.begin(), row_.end(), std::uint8_t{0});
    const std::size_t cellRow = y / cellHeight_;
    const std::size_t stride = cellWidth_ * kPixel;
    const std::size_t within = (y % cellHeight_) * stride;
    const std::size_t bytes = cellWidth_ * cellHeight_ * kPixel;
    const std::uint8_t* tilePixels = tiles_.Pixels(level_, 0) + within;
    const TileLevels::Cover* covers = tiles_.Covers();
    for (std::size_t i = 0; i < drawn_.size(); ++i) {
        const PictureSource::Layer& layer = source_.Layers()[i];
        if (!drawn_[i] || cellRow >= layer.height) {
            continue;
        }
        const Expected<const std::uint32_t*> cells = source_.Row(i, cellRow);
        if (!cells) {
            return cells.error();
        }
        std::uint8_t* to = row_.data();
        for (std::size_t x = 0, width = static_cast<std::size_t>(layer.width); x < width; ++x, to += stride) {
            const std::uint32_t tile = Drawn((*cells)[x]);
            if (tile == kEmpty) {
                continue;
            }
            const std::uint8_t* from = tilePixels + std::size_t{tile} * bytes;
            if (covers[tile] == TileLevels::Cover::Opaque) {
                std::memcpy(to, from, stride);
                continue;
            }
            for (std::size_t k = 0; k < stride; k += kPixel) {
                BlendOver(to + k, from + k);
            }
        }
    }
    return Success();
}

Expected<const std::uint8_t*> Compositor::Row(std::size_t y) {
    if (rowAt_ == y) {
        return row_.data();
    }
    rowAt_ = y;
    const std::size_t cellRow = y / cellHeight_;
    if (!layerByLayerFrom_ && cellRow_ != cellRow) {
        const Expected<bool> resolved = ResolveCells(cellRow);
        if (!resolved) {
            return resolved.error();
        }
        if (!*resolved) {
            // Beyond the budgets: this row of cells and the rest are drawn layer by layer, in memory fixed already.
            layerByLayerFrom_ = y;
        }
    }
    if (layerByLayerFrom_) {
        if (Expected<void> drawn = LayerByLayer(y); !drawn) {
            return drawn.error();
        }
        return row_.data();
    }
    // Each column's tile, composite or nothing, at the level.
    const std::uint32_t count = count_;
    const std::size_t side = std::size_t{count} + 1;
    const std::uint8_t* tilePixels = tiles_.Pixels(level_, 0);
    const std::uint8_t* images = images_.data();
    const std::uint32_t* slots = slots_.data();
    const std::uint32_t* cells = cells_.data();
    std::uint8_t* to = row_.data();
    if (!colours_.empty()) {
        // A pixel a cell, the most common thumbnail: a lookup by id plus one, with no branch for empty cells.
        const std::uint8_t* colours = colours_.data();
        for (std::size_t x = 0; x < columns_; ++x, to += kPixel) {
            std::memcpy(to, colours + std::size_t{cells[x] + 1U} * kPixel, kPixel);
        }
        return row_.data();
    }
    const std::size_t stride = cellWidth_ * kPixel;
    const std::size_t bytes = stride * cellHeight_;
    const std::size_t within = (y % cellHeight_) * stride;
    for (std::size_t x = 0; x < columns_; ++x, to += stride) {
        const std::uint32_t cell = cells[x];
        if (cell == kEmpty) {
            std::memset(to, 0, stride);
            continue;
        }
        const std::uint8_t* from =
            cell <= count ? tilePixels + std::size_t{cell} * bytes : images + std::size_t{slots[cell - side]} * bytes;
        std::memcpy(to, from + within, stride);
    }
    return row_.data();
}

std::uint64_t Resampler::Axis::Total(std::size_t i) const {
    if (even) {
        return end[i] - start[i];
    }
    return end[i] - start[i] == 1 ? first[i] : first[i] + last[i] + (end[i] - start[i] - 2) * whole;
}

Resampler::Axis Resampler::Measure(std::uint64_t canvas, std::uint64_t picture) {
    Axis axis;
    const auto count = static_cast<std::size_t>(picture);
    axis.start.resize(count);
    axis.end.resize(count);
    axis.even = picture >= canvas || canvas % picture == 0;
    if (axis.even) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t start = i * canvas / picture;
            axis.start[i] = static_cast<std::size_t>(start);
            axis.end[i] = static_cast<std::size_t>(std::max(start + 1, (i + 1) * canvas / picture));
        }
        return axis;
    }
    // In units of 1/picture of a canvas pixel: canvas position j spans [j * picture, (j + 1) * picture), picture
    // position i spans [i * canvas, (i + 1) * canvas).
    axis.first.resize(count);
    axis.last.resize(count);
    axis.whole = picture;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t from = i * canvas;
        const std::uint64_t to = (i + 1) * canvas;
        const std::uint64_t start = from / picture;
        const std::uint64_t end = (to + picture - 1) / picture;
        axis.start[i] = static_cast<std::size_t>(start);
        axis.end[i] = static_cast<std::size_t>(end);
        axis.first[i] = std::min((start + 1) * picture, to) - from;
        axis.last[i] = to - (end - 1) * picture;
    }
    return axis;
}

Resampler::Resampler(PictureSize canvas, PictureSize picture)
    : canvas_(canvas),
      picture_(picture),
      across_(Measure(canvas.width, picture.width)),
      down_(Measure(canvas.height, picture.height)),
      sums_(static_cast<std::size_t>(picture.width) * kPixel),
      row_(static_cast<std::size_t>(picture.width) * kPixel) {}

void Resampler::Add(const std::uint8_t* pixels, std::uint64_t weight) {
    const std::vector<std::size_t>& starts = across_.start;
    const std::vector<std::size_t>& ends = across_.end;
    if (across_.even && weight == 1) {
        AddSpans(starts, ends, sums_.data(), [pixels](std::size_t column, std::uint64_t* box) {
            const std::uint8_t* pixel = pixels + column * kPixel;
            const std::uint32_t alpha = pixel[3];
            box[0] += pixel[0] * alpha;
            box[1] += pixel[1] * alpha;
            box[2] += pixel[2] * alpha;
            box[3] += alpha;
        });
        return;
    }
    // Weighed: the first and last positions by their shares, those between by a whole position's.
    const auto add = [pixels](std::size_t at, std::uint64_t share, std::uint64_t* box) {
        const std::uint8_t* pixel = pixels + at * kPixel;
        const std::uint64_t alpha = pixel[3] * share;
        box[0] += pixel[0] * alpha;
        box[1] += pixel[1] * alpha;
        box[2] += pixel[2] * alpha;
        box[3] += alpha;
    };
    std::uint64_t* sums = sums_.data();
    const bool even = across_.even;
    const std::uint64_t whole = weight * across_.whole;
    for (std::size_t x = 0; x < starts.size(); ++x, sums += kPixel) {
        std::uint64_t box[kPixel] = {sums[0], sums[1], sums[2], sums[3]};
        const std::size_t start = starts[x];
        const std::size_t end = ends[x];
        add(start, even ? weight : weight * across_.first[x], box);
        if (end - start > 1) {
            for (std::size_t at = start + 1; at + 1 < end; ++at) {
                add(at, whole, box);
            }
            add(end - 1, even ? weight : weight * across_.last[x], box);
        }
        std::copy_n(box, kPixel, sums);
    }
}

const std::uint8_t* Resampler::Finish(std::size_t y) {
    const std::uint64_t rows = down_.Total(y);
    for (std::size_t x = 0; x < across_.start.size(); ++x) {
        MeanPixel(sums_.data() + x * kPixel, across_.Total(x) * rows, row_.data() + x * kPixel);
    }
    return row_.data();
}

PictureRows::PictureRows(PictureSource& source, std::vector<bool> drawn, PictureSize size)
    : source_(source), tiles_(source.Tiles()), drawn_(std::move(drawn)), size_(size) {
    drawn_.resize(source.Layers().size(), false);
}

Expected<void> PictureRows::Start() {
    const PictureSize full = MeasurePicture(source_);
    if (full.width == 0 || full.height == 0 || tiles_.LevelCount() == 0) {
        return Error({}, "there is nothing to draw: the picture would be " + Dimensions(full.width, full.height));
    }
    const std::uint64_t columns = full.width / tiles_.TileWidth();
    const std::uint64_t rows = full.height / tiles_.TileHeight();
    // Whether level's pixels make whole picture pixels along a side: at a whole ratio, where each of its pixels is a
    // whole tile's, or the same power of two of full-size pixels that divides the ratio; at another, where its pixels
    // are all alike (so weighing their shares is weighing the full-size pixels') and as many as the picture's.
    const auto fits = [](std::size_t level, std::uint64_t cells, std::uint64_t tile, std::uint64_t side,
                         std::uint64_t picture) {
        const std::uint64_t length = cells * tile;
        const std::uint64_t box = std::uint64_t{1} << level;
        if (picture >= length || length % picture != 0) {
            return (side == 1 || tile % box == 0) && cells * side >= picture;
        }
        const std::uint64_t ratio = length / picture;
        return side == 1 ? ratio % tile == 0 : tile % box == 0 && ratio % box == 0;
    };
    const auto choose = [&](bool whole) {
        for (std::size_t level = tiles_.LevelCount(); level-- > 1;) {
            const std::uint64_t width = tiles_.LevelWidth(level);
            const std::uint64_t height = tiles_.LevelHeight(level);
            const bool across = whole ? fits(level, columns, tiles_.TileWidth(), width, size_.width)
                                      : columns * width >= size_.width;
            const bool down = whole ? fits(level, rows, tiles_.TileHeight(), height, size_.height)
                                    : rows * height >= size_.height;
            if (across && down) {
                return level;
            }
        }
        return std::size_t{0};
    };
    whole_ = full.width % size_.width == 0 && full.height % size_.height == 0;
    level_ = choose(true);
    const auto wide = [&](std::size_t level) {
        return columns * std::uint64_t{tiles_.LevelWidth(std::max(level, tiles_.FinestKept()))} > kMostCanvasWidth;
    };
    if (wide(level_)) {
        // Too wide a canvas row to hold: the coarsest level with the picture's pixels, which needn't make whole ones.
        const std::size_t coarse = choose(false);
        inexact_ = coarse != level_ && whole_;
        level_ = coarse;
    }
    if (level_ < tiles_.FinestKept()) {
        level_ = tiles_.FinestKept();
        coarser_ = PictureSize{tiles_.LevelWidth(level_), tiles_.LevelHeight(level_)};
    }
    compositor_.emplace(source_, drawn_, level_);
    compositor_->Start();
    resampler_.emplace(compositor_->Canvas(), size_);
    return Success();
}

Expected<const std::uint8_t*> PictureRows::Row(std::size_t y) {
    return resampler_->Row(y, [this](std::size_t at) { return compositor_->Row(at); });
}

std::optional<std::string> PictureRows::Note() const {
    const std::string reduced = "the picture is drawn from the tiles reduced to " +
                                std::to_string(tiles_.LevelWidth(level_)) + " x " +
                                std::to_string(tiles_.LevelHeight(level_)) + " pixels";
    // Only a whole ratio promises the box filter; enlarging, the kept tiles' pixels are larger than the picture's.
    const bool enlarged = compositor_->Canvas().width < size_.width || compositor_->Canvas().height < size_.height;
    if (coarser_ && (whole_ || enlarged)) {
        return "the tiles at full size take more than " + std::to_string(TileLevels::kBudget >> 20) +
               " MiB together; " + reduced + (enlarged ? ", enlarged" : "");
    }
    if (inexact_) {
        return "a picture of whole pixels would be more than " + std::to_string(kMostCanvasWidth) +
               " pixels wide at the tiles' size; " + reduced;
    }
    if (compositor_->Reduced()) {
        if (const std::optional<std::size_t> from = compositor_->LayerByLayerFrom()) {
            return "the tiles that show through one another make more stacks than are composited at full size; " +
                   reduced + " from row " + std::to_string(*from * size_.height / compositor_->Canvas().height) +
                   " on, each layer over the one below";
        }
        return "the tiles at full size take more than " + std::to_string(TileLevels::kBudget >> 20) +
               " MiB together; where they show through one another, " + reduced + " before they are composited";
    }
    return std::nullopt;
}

}  // namespace gridport
