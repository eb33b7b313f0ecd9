#include "picture/TileLevels.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace gridport {

void MeanPixel(const std::uint64_t* sums, std::uint64_t count, std::uint8_t* pixel) {
    const std::uint64_t alpha = (sums[3] + count / 2) / count;
    for (std::size_t c = 0; c < 3; ++c) {
        pixel[c] = alpha == 0 ? 0 : static_cast<std::uint8_t>((sums[c] + sums[3] / 2) / sums[3]);
    }
    pixel[3] = static_cast<std::uint8_t>(alpha);
}

// Takes full-size rows tile after tile into the finest kept level's sums; a completed level row is written, and its sums
// added to the next level's, which are unions of its pixels.
class TileLevels::Builder {
public:
    Builder(TileLevels& levels, std::uint32_t count, std::uint32_t width, std::uint32_t height) : to_(levels) {
        to_.count_ = count;
        to_.width_ = width;
        to_.height_ = height;
        if (width == 0 || height == 0) {
            return;
        }
        for (std::size_t level = 0;; ++level) {
            const auto side = [level](std::uint32_t full) {
                return static_cast<std::uint32_t>((std::uint64_t{full} + (std::uint64_t{1} << level) - 1) >> level);
            };
            to_.levels_.push_back(Level{side(width), side(height), {}});
            if (side(width) == 1 && side(height) == 1) {
                break;
            }
        }
        // The coarsest levels that fit together, the tiles and the mark.
        std::uint64_t total = 0;
        to_.finest_ = to_.levels_.size();
        while (to_.finest_ > 0) {
            const Level& next = to_.levels_[to_.finest_ - 1];
            const std::uint64_t bytes = (std::uint64_t{count} + 1) * next.width * next.height * 4;
            if (total + bytes > kBudget) {
                break;
            }
            total += bytes;
            --to_.finest_;
        }
        for (std::size_t level = to_.finest_; level < to_.levels_.size(); ++level) {
            Level& at = to_.levels_[level];
            at.pixels.resize((std::size_t{count} + 1) * at.width * at.height * 4);
            sums_.emplace_back(std::size_t{at.width} * 4, 0);
        }
        to_.covers_.assign(std::size_t{count} + 1, Cover::Partial);
    }

    bool Empty() const { return to_.levels_.empty(); }

    // The next full-size row of width pixels: each pixel is added to the finest kept level's sums alone.
    void Row(const std::uint8_t* rgba) {
        const std::uint32_t width = to_.width_;
        bool opaque = true;
        bool clear = true;
        for (std::uint32_t x = 0; x < width; ++x) {
            opaque = opaque && rgba[4 * x + 3] == 255;
            clear = clear && rgba[4 * x + 3] == 0;
        }
        // A tile's cover is its rows' when they all have the same.
        const Cover cover = opaque ? Cover::Opaque : clear ? Cover::Clear : Cover::Partial;
        to_.covers_[tile_] = y_ == 0 || to_.covers_[tile_] == cover ? cover : Cover::Partial;
        const std::size_t shift = to_.finest_;
        std::uint64_t* sums = sums_[0].data();
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* pixel = rgba + 4 * std::size_t{x};
            std::uint64_t* sum = sums + 4 * std::size_t{x >> shift};
            const std::uint64_t alpha = pixel[3];
            sum[0] += pixel[0] * alpha;
            sum[1] += pixel[1] * alpha;
            sum[2] += pixel[2] * alpha;
            sum[3] += alpha;
        }
        Next();
    }

    // The mark after the tiles: magenta, crossed corner to corner in black. Only its black pixels are counted, a run or
    // a point at a time, so its cost follows its sides and the kept levels' pixels, not its full size.
    void Mark() {
        const std::uint64_t width = to_.width_;
        const std::uint64_t height = to_.height_;
        const std::size_t shift = to_.finest_;
        const Level& finest = to_.levels_[shift];
        std::vector<std::uint64_t> black(finest.width, 0);
        for (std::uint64_t y = 0; y < height; ++y) {
            // Columns x with x * height / width == y, the point y * width / height, and both mirrored.
            const std::uint64_t first = (y * width + height - 1) / height;
            const std::uint64_t end = std::min(width, ((y + 1) * width + height - 1) / height);
            const std::uint64_t point = y * width / height;
            std::pair<std::uint64_t, std::uint64_t> runs[4] = {
                {first, std::max(first, end)}, {width - std::max(first, end), width - first}, {point, point + 1},
                {width - 1 - point, width - point}};
            std::sort(std::begin(runs), std::end(runs));
            std::uint64_t covered = 0;  // Columns before this are counted.
            for (auto [from, to] : runs) {
                for (from = std::max(from, covered); from < to;) {
                    const std::uint64_t next = std::min(to, ((from >> shift) + 1) << shift);
                    black[static_cast<std::size_t>(from >> shift)] += next - from;
                    from = next;
                }
                covered = std::max(covered, to);
            }
            if (y + 1 != height && ((y + 1) & ((std::uint64_t{1} << shift) - 1)) != 0) {
                ++y_;
                continue;
            }
            const std::uint64_t rows = y + 1 - ((y >> shift) << shift);
            std::uint64_t* sums = sums_[0].data();
            for (std::size_t i = 0; i < black.size(); ++i, sums += 4) {
                const std::uint64_t start = std::uint64_t{i} << shift;
                const std::uint64_t pixels = (std::min(start + (std::uint64_t{1} << shift), width) - start) * rows;
                const std::uint64_t magenta = (pixels - black[i]) * 255 * 255;
                sums[0] = magenta;
                sums[2] = magenta;
                sums[3] = pixels * 255;
            }
            std::fill(black.begin(), black.end(), std::uint64_t{0});
            to_.covers_[tile_] = Cover::Opaque;
            Next();
        }
    }

private:
    // After full row y_ of tile tile_: writes the kept levels' rows that it completes.
    void Next() {
        const bool last = y_ + 1 == to_.height_;
        for (std::size_t k = 0; k < sums_.size(); ++k) {
            const std::size_t shift = to_.finest_ + k;
            if (!last && ((y_ + 1) & ((std::uint64_t{1} << shift) - 1)) != 0) {
                break;
            }
            Level& level = to_.levels_[shift];
            std::uint64_t* sums = sums_[k].data();
            const std::uint64_t levelRow = std::uint64_t{y_} >> shift;
            const std::uint64_t rows = y_ + 1 - (levelRow << shift);
            std::uint8_t* out = level.pixels.data() + (std::size_t{tile_} * level.height + levelRow) * level.width * 4;
            for (std::uint32_t i = 0; i < level.width; ++i) {
                const std::uint64_t start = std::uint64_t{i} << shift;
                const std::uint64_t columns = std::min<std::uint64_t>(start + (std::uint64_t{1} << shift), to_.width_) - start;
                MeanPixel(sums + 4 * std::size_t{i}, columns * rows, out + 4 * std::size_t{i});
            }
            // The next level's pixels are unions of these, their sums the sums of these.
            if (k + 1 < sums_.size()) {
                std::uint64_t* coarser = sums_[k + 1].data();
                for (std::uint32_t i = 0; i < level.width; ++i) {
                    for (std::size_t c = 0; c < 4; ++c) {
                        coarser[4 * std::size_t{i >> 1} + c] += sums[4 * std::size_t{i} + c];
                    }
                }
            }
            std::fill(sums_[k].begin(), sums_[k].end(), std::uint64_t{0});
        }
        if (last) {
            y_ = 0;
            ++tile_;
        } else {
            ++y_;
        }
    }

    TileLevels& to_;
    std::vector<std::vector<std::uint64_t>> sums_;
    std::uint32_t tile_ = 0;
    std::uint32_t y_ = 0;
};

Expected<TileLevels> TileLevels::Read(TilesetReader& reader, const TilesetHeader& header, bool reduce) {
    TileLevels levels;
    Builder builder(levels, header.tileCount, reduce ? header.tileWidth : 0, header.tileHeight);
    const std::size_t stride = std::size_t{header.tileWidth} * 4;
    std::vector<std::uint8_t> row(builder.Empty() ? 0 : stride);
    std::size_t filled = 0;
    const ByteVisitor take = [&](const std::uint8_t* bytes, std::size_t count) {
        while (count > 0) {
            const std::size_t piece = std::min(count, stride - filled);
            std::memcpy(row.data() + filled, bytes, piece);
            filled += piece;
            bytes += piece;
            count -= piece;
            if (filled == stride) {
                builder.Row(row.data());
                filled = 0;
            }
        }
    };
    const ByteVisitor ignore = [](const std::uint8_t*, std::size_t) {};
    for (std::size_t tile = 0; tile < header.tileCount; ++tile) {
        if (Expected<void> read = reader.ReadPixels(tile, builder.Empty() ? ignore : take); !read) {
            return read.error();
        }
    }
    if (!builder.Empty()) {
        builder.Mark();
    }
    return levels;
}

}  // namespace gridport
