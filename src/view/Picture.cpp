#include "view/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Text.h"
#include "view/Wording.h"

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

// Full-size positions [start, end) under picture position i of `count` over `full`: a box, or one position if enlarged.
std::pair<std::uint64_t, std::uint64_t> Span(std::uint64_t i, std::uint64_t count, std::uint64_t full) {
    const std::uint64_t start = i * full / count;
    return {start, std::max(start + 1, (i + 1) * full / count)};
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

// Composites kept for the cells after them, at most this many bytes.
constexpr std::uint64_t kCachedBytes = std::uint64_t{2} << 20;
// Stacks remembered before the table starts afresh (at a row of cells).
constexpr std::size_t kMostStacks = std::size_t{1} << 15;
// Two-tile stacks are looked up in a table of (tiles + 1) squared entries when it has at most this many.
constexpr std::uint64_t kMostPairs = std::uint64_t{1} << 18;
constexpr std::uint8_t kClearPixel[kPixel] = {0, 0, 0, 0};

}  // namespace

PictureRows::PictureRows(PictureSource& source, std::vector<bool> drawn, PictureSize size)
    : source_(source), tiles_(source.Tiles()), drawn_(std::move(drawn)), size_(size) {
    drawn_.resize(source.Layers().size(), false);
}

Expected<void> PictureRows::Start() {
    const PictureSize full = MeasurePicture(source_);
    if (full.width == 0 || full.height == 0 || tiles_.LevelCount() == 0) {
        return Error({}, "there is nothing to draw: the picture would be " + Dimensions(full.width, full.height));
    }
    columns_ = static_cast<std::size_t>(full.width / tiles_.TileWidth());
    const std::uint64_t rows = full.height / tiles_.TileHeight();
    // The coarsest level with as many pixels as the picture each way; finer than kept is drawn from the finest kept.
    level_ = 0;
    for (std::size_t level = tiles_.LevelCount(); level-- > 1;) {
        if (columns_ * std::uint64_t{tiles_.LevelWidth(level)} >= size_.width &&
            rows * tiles_.LevelHeight(level) >= size_.height) {
            level_ = level;
            break;
        }
    }
    if (level_ < tiles_.FinestKept()) {
        level_ = tiles_.FinestKept();
        coarser_ = PictureSize{tiles_.LevelWidth(level_), tiles_.LevelHeight(level_)};
    }
    cellWidth_ = tiles_.LevelWidth(level_);
    cellHeight_ = tiles_.LevelHeight(level_);
    canvas_ = PictureSize{columns_ * std::uint64_t{cellWidth_}, rows * cellHeight_};
    const std::uint64_t count = std::uint64_t{tiles_.TileCount()} + 1;
    if (count * count <= kMostPairs) {
        pairs_.assign(static_cast<std::size_t>(count * count), kEmpty);
    }
    cells_.assign(columns_, kEmpty);
    if (OnePixel()) {
        const std::uint8_t* pixels = tiles_.Pixels(level_, 0);
        colours_.assign(pixels, pixels + count * kPixel);
    } else {
        // Room for the composites kept, so that they don't move as they grow.
        images_.reserve(static_cast<std::size_t>(kCachedBytes));
    }
    levelRow_.assign(static_cast<std::size_t>(canvas_.width) * kPixel, 0);
    columnStart_.resize(static_cast<std::size_t>(size_.width));
    columnEnd_.resize(static_cast<std::size_t>(size_.width));
    sums_.resize(static_cast<std::size_t>(size_.width) * kPixel);
    row_.resize(static_cast<std::size_t>(size_.width) * kPixel);
    for (std::size_t x = 0; x < columnStart_.size(); ++x) {
        const auto [start, end] = Span(x, size_.width, canvas_.width);
        columnStart_[x] = static_cast<std::size_t>(start);
        columnEnd_[x] = static_cast<std::size_t>(end);
    }
    return Success();
}

std::uint32_t PictureRows::Above(std::uint32_t below, std::uint32_t tile) {
    const std::uint32_t count = tiles_.TileCount() + 1;
    std::uint32_t* pair = nullptr;
    if (below < count && !pairs_.empty()) {
        pair = &pairs_[std::size_t{below} * count + tile];
        if (*pair != kEmpty) {
            return *pair;
        }
    }
    const std::uint64_t key = (std::uint64_t{below} << 32) | tile;
    const auto [found, added] = stackIds_.try_emplace(key, count + static_cast<std::uint32_t>(stacks_.size()));
    if (added) {
        stacks_.emplace_back(below, tile);
    }
    if (pair != nullptr) {
        *pair = found->second;
    }
    return found->second;
}

Expected<void> PictureRows::ResolveCells(std::size_t cellRow) {
    cellRow_ = cellRow;
    if (stacks_.size() > kMostStacks) {
        stacks_.clear();
        stackIds_.clear();
        slots_.clear();
        images_.clear();
        colours_.resize(std::min(colours_.size(), (std::size_t{tiles_.TileCount()} + 1) * kPixel));
        weighted_.resize(std::min(weighted_.size(), colours_.size() + kPixel));
        std::fill(pairs_.begin(), pairs_.end(), kEmpty);
    }
    const std::uint32_t count = tiles_.TileCount();
    const bool marks = source_.MarksBeyond();
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
                if (!marks || tile == kNoTile) {
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
            } else {
                out[x] = Above(below, tile);
            }
        }
        for (; x < width; ++x) {
            std::uint32_t tile = row[x];
            if (tile >= count) {
                tile = marks && tile != kNoTile ? count : kEmpty;
            }
            out[x] = tile != kEmpty && covers[tile] == TileLevels::Cover::Clear ? kEmpty : tile;
        }
        set = std::max(set, width);
    }
    std::fill(cells_.begin() + static_cast<std::ptrdiff_t>(set), cells_.end(), kEmpty);
    const std::uint32_t* cells = cells_.data();
    if (OnePixel()) {
        // One pixel a cell: each new stack's pixel is drawn after the tiles', and weighted for a reduced picture.
        std::vector<std::uint8_t> image;
        for (std::size_t id = colours_.size() / kPixel; id < side + stacks_.size(); ++id) {
            Composite(static_cast<std::uint32_t>(id), image);
            colours_.insert(colours_.end(), image.begin(), image.end());
        }
        Weigh();
        return Success();
    }
    // What each column draws; new stacks are drawn and kept, or, once their room is full, kept for this row alone.
    const std::size_t bytes = cellWidth_ * cellHeight_ * kPixel;
    if (images_.size() + bytes > images_.capacity()) {
        images_.clear();
        std::fill(slots_.begin(), slots_.end(), kEmpty);
    }
    const std::uint8_t* tilePixels = tiles_.Pixels(level_, 0);
    slots_.resize(stacks_.size(), kEmpty);
    overflow_.clear();
    drawnCells_.resize(cells_.size());
    for (std::size_t x = 0, columns = cells_.size(); x < columns; ++x) {
        const std::uint32_t cell = cells[x];
        const std::uint8_t* pixels = nullptr;
        if (cell == kEmpty) {
            drawnCells_[x] = nullptr;
            continue;
        }
        if (cell <= count) {
            pixels = tilePixels + std::size_t{cell} * bytes;
        } else if (std::uint32_t& slot = slots_[cell - count - 1]; slot != kEmpty) {
            pixels = images_.data() + std::size_t{slot} * bytes;
        } else {
            std::vector<std::uint8_t> image;
            Composite(cell, image);
            if (images_.size() + bytes > images_.capacity()) {
                overflow_.push_back(std::move(image));
                pixels = overflow_.back().data();
            } else {
                slot = static_cast<std::uint32_t>(images_.size() / bytes);
                pixels = images_.data() + images_.size();
                images_.insert(images_.end(), image.begin(), image.end());
            }
        }
        drawnCells_[x] = pixels;
    }
    return Success();
}

void PictureRows::Composite(std::uint32_t stack, std::vector<std::uint8_t>& image) const {
    const std::uint32_t count = tiles_.TileCount() + 1;
    std::vector<std::uint32_t> chain;
    for (; stack >= count; stack = stacks_[stack - count].first) {
        chain.push_back(stacks_[stack - count].second);
    }
    chain.push_back(stack);
    // Drawn at the finest kept level, bottom up, then reduced.
    const std::size_t finest = tiles_.FinestKept();
    const std::size_t width = tiles_.LevelWidth(finest);
    const std::size_t height = tiles_.LevelHeight(finest);
    std::vector<std::uint8_t> drawn(width * height * kPixel, 0);
    for (auto tile = chain.rbegin(); tile != chain.rend(); ++tile) {
        const std::uint8_t* from = tiles_.Pixels(finest, *tile);
        for (std::size_t k = 0; k < drawn.size(); k += kPixel) {
            BlendOver(drawn.data() + k, from + k);
        }
    }
    if (finest == level_) {
        image = std::move(drawn);
        return;
    }
    const std::size_t shift = level_ - finest;
    image.assign(cellWidth_ * cellHeight_ * kPixel, 0);
    for (std::size_t y = 0; y < cellHeight_; ++y) {
        const std::size_t top = y << shift;
        const std::size_t bottom = std::min(height, (y + 1) << shift);
        for (std::size_t x = 0; x < cellWidth_; ++x) {
            const std::size_t left = x << shift;
            const std::size_t right = std::min(width, (x + 1) << shift);
            std::uint64_t sum[4] = {0, 0, 0, 0};
            for (std::size_t row = top; row < bottom; ++row) {
                for (std::size_t column = left; column < right; ++column) {
                    const std::uint8_t* pixel = drawn.data() + (row * width + column) * kPixel;
                    const std::uint64_t alpha = pixel[3];
                    sum[0] += pixel[0] * alpha;
                    sum[1] += pixel[1] * alpha;
                    sum[2] += pixel[2] * alpha;
                    sum[3] += alpha;
                }
            }
            MeanPixel(sum, (bottom - top) * (right - left), image.data() + (y * cellWidth_ + x) * kPixel);
        }
    }
}

Expected<const std::uint8_t*> PictureRows::LevelRow(std::size_t y) {
    if (levelRowAt_ == y) {
        return levelRow_.data();
    }
    const std::size_t cellRow = y / cellHeight_;
    if (cellRow_ != cellRow) {
        if (Expected<void> resolved = ResolveCells(cellRow); !resolved) {
            return resolved.error();
        }
    }
    levelRowAt_ = y;
    if (OnePixel()) {
        // One pixel a cell: the cells' own pixels.
        std::uint8_t* to = levelRow_.data();
        for (std::size_t x = 0; x < columns_; ++x) {
            const std::uint32_t cell = cells_[x];
            std::memcpy(to + x * kPixel, cell == kEmpty ? kClearPixel : &colours_[cell * kPixel], kPixel);
        }
        return levelRow_.data();
    }
    const std::size_t stride = cellWidth_ * kPixel;
    const std::size_t within = (y % cellHeight_) * stride;
    std::uint8_t* to = levelRow_.data();
    for (std::size_t x = 0; x < columns_; ++x, to += stride) {
        const std::uint8_t* from = drawnCells_[x];
        if (from == nullptr) {
            std::memset(to, 0, stride);
        } else {
            std::memcpy(to, from + within, stride);
        }
    }
    return levelRow_.data();
}

void PictureRows::Weigh() {
    // Entry 0 is the empty cell's; a cell's entry is its id plus one, which takes kEmpty round to 0.
    if (weighted_.empty()) {
        weighted_.assign(kPixel, 0);
    }
    for (std::size_t at = weighted_.size() - kPixel; at < colours_.size(); at += kPixel) {
        const std::uint8_t* pixel = &colours_[at];
        const std::uint32_t alpha = pixel[3];
        weighted_.insert(weighted_.end(), {pixel[0] * alpha, pixel[1] * alpha, pixel[2] * alpha, alpha});
    }
}

Expected<void> PictureRows::AddCells(std::size_t cellRow) {
    if (cellRow_ != cellRow) {
        if (Expected<void> resolved = ResolveCells(cellRow); !resolved) {
            return resolved.error();
        }
    }
    const std::uint32_t* cells = cells_.data();
    const std::uint32_t* weighted = weighted_.data();
    AddSpans(columnStart_, columnEnd_, sums_.data(), [cells, weighted](std::size_t column, std::uint64_t* box) {
        const std::uint32_t* cell = weighted + std::size_t{cells[column] + 1U} * kPixel;
        for (std::size_t c = 0; c < kPixel; ++c) {
            box[c] += cell[c];
        }
    });
    return Success();
}

Expected<const std::uint8_t*> PictureRows::Row(std::size_t y) {
    if (size_.width == canvas_.width && size_.height == canvas_.height) {
        return LevelRow(y);
    }
    // Straight alpha is averaged by weighting each colour with its alpha.
    std::fill(sums_.begin(), sums_.end(), std::uint64_t{0});
    const auto [top, bottom] = Span(y, size_.height, canvas_.height);
    for (std::uint64_t levelY = top; levelY < bottom; ++levelY) {
        if (OnePixel()) {
            if (Expected<void> added = AddCells(static_cast<std::size_t>(levelY)); !added) {
                return added.error();
            }
            continue;
        }
        const Expected<const std::uint8_t*> level = LevelRow(static_cast<std::size_t>(levelY));
        if (!level) {
            return level;
        }
        const std::uint8_t* pixels = *level;
        AddSpans(columnStart_, columnEnd_, sums_.data(), [pixels](std::size_t column, std::uint64_t* box) {
            const std::uint8_t* pixel = pixels + column * kPixel;
            const std::uint32_t weight = pixel[3];
            box[0] += pixel[0] * weight;
            box[1] += pixel[1] * weight;
            box[2] += pixel[2] * weight;
            box[3] += weight;
        });
    }
    for (std::size_t x = 0; x < columnStart_.size(); ++x) {
        const std::uint64_t count = (bottom - top) * (columnEnd_[x] - columnStart_[x]);
        MeanPixel(sums_.data() + x * kPixel, count, row_.data() + x * kPixel);
    }
    return row_.data();
}

}  // namespace gridport
