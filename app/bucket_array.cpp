#include "app/bucket_array.h"

#include <algorithm>
#include <bit>
#include <tuple>
#include <utility>

namespace {

using Figures = std::array<std::int64_t, 7>;

// Differences rather than the figures themselves where they are small.
template <std::size_t f>
std::int64_t figure(const PingStats& s) {
    if constexpr (f == 0)
        return s.count;
    else if constexpr (f == 1)
        return s.minimum;
    else if constexpr (f == 2)
        return std::int64_t{s.average} - s.minimum;
    else if constexpr (f == 3)
        return std::int64_t{s.maximum} - s.average;
    else if constexpr (f == 4)
        return s.drops;
    else if constexpr (f == 5)
        return s.disconnects;
    else
        return s.last;
}

// Calls visit with each figure's index as a constant.
template <class Visit>
void forEachFigure(Visit&& visit) {
    [&]<std::size_t... f>(std::index_sequence<f...>) {
        (visit(std::integral_constant<std::size_t, f>()), ...);
    }(std::make_index_sequence<std::tuple_size_v<Figures>>());
}

Figures figuresOf(const PingStats& s) {
    Figures figures;
    forEachFigure([&]<std::size_t f>(std::integral_constant<std::size_t, f>) { figures[f] = figure<f>(s); });
    return figures;
}

// Appends bits to words, the lowest first.
class BitWriter {
public:
    explicit BitWriter(std::uint64_t* out) : out_(out) {}
    // value has no bits above width, 64 at most.
    void put(std::uint64_t value, unsigned width) {
        word_ |= value << filled_;
        filled_ += width;
        if (filled_ >= 64) {
            *out_++ = word_;
            filled_ -= 64;
            // The value's bits that did not fit; none when it ended the word.
            word_ = filled_ == 0 ? 0 : value >> (width - filled_);
        }
    }
    void flush() {
        if (filled_ > 0)
            *out_ = word_;
    }

private:
    std::uint64_t* out_;
    std::uint64_t word_ = 0;
    unsigned filled_ = 0;
};

} // namespace

BucketArray::Packed::Packed(std::span<const PingStats> stats) : size_(static_cast<std::uint16_t>(stats.size())) {
    if (stats.empty())
        return;
    // Packing chunks is a large part of loading a year of rows: the ranges
    // in one pass, the bounds of every figure held at once.
    Figures low = figuresOf(stats[0]);
    Figures high = low;
    for (const PingStats& bucket : stats) {
        forEachFigure([&]<std::size_t f>(std::integral_constant<std::size_t, f>) {
            low[f] = std::min(low[f], figure<f>(bucket));
            high[f] = std::max(high[f], figure<f>(bucket));
        });
    }
    std::array<unsigned, figureCount> offset{};
    for (std::size_t f = 0; f < figureCount; ++f) {
        width_[f] = static_cast<std::uint8_t>(std::bit_width(static_cast<std::uint64_t>(high[f] - low[f])));
        offset[f] = stride_;
        stride_ = static_cast<std::uint16_t>(stride_ + width_[f]);
    }
    // A word more, so that a figure's bits can always be read as two words.
    const std::size_t words = figureCount + (std::size_t{stride_} * stats.size() + 63) / 64 + 1;
    words_ = std::make_unique<std::uint64_t[]>(words);
    std::copy(low.begin(), low.end(), words_.get());
    // Bucket after bucket, figure after figure, the bits are in order. A
    // bucket of 64 bits or fewer, as most are, goes in as one value.
    BitWriter out(words_.get() + figureCount);
    if (stride_ <= 64) {
        // That value, each figure above its least shifted to its place, is
        // linear in the bucket's fields (figure<f> says how): a product a
        // field and one constant, modulo 2^64.
        std::array<std::uint64_t, figureCount> place{};
        std::uint64_t least = 0;
        for (std::size_t f = 0; f < figureCount; ++f) {
            place[f] = offset[f] < 64 ? std::uint64_t{1} << offset[f] : 0;
            least += static_cast<std::uint64_t>(low[f]) * place[f];
        }
        const std::uint64_t perMinimum = place[1] - place[2];
        const std::uint64_t perAverage = place[2] - place[3];
        const auto bits = [](std::int32_t field) { return static_cast<std::uint64_t>(std::int64_t{field}); };
        for (const PingStats& bucket : stats) {
            out.put(bits(bucket.count) * place[0] + bits(bucket.minimum) * perMinimum +
                        bits(bucket.average) * perAverage + bits(bucket.maximum) * place[3] +
                        bits(bucket.drops) * place[4] + bits(bucket.disconnects) * place[5] +
                        bits(bucket.last) * place[6] - least,
                    stride_);
        }
    } else {
        for (const PingStats& bucket : stats) {
            const Figures each = figuresOf(bucket);
            for (std::size_t f = 0; f < figureCount; ++f)
                out.put(static_cast<std::uint64_t>(each[f] - low[f]), width_[f]);
        }
    }
    out.flush();
}

PingStats BucketArray::Packed::at(std::size_t i) const {
    Figures figures;
    const std::uint64_t* const bits = words_.get() + figureCount;
    std::size_t bit = i * stride_;
    for (std::size_t f = 0; f < figureCount; ++f) {
        const std::size_t shift = bit & 63;
        std::uint64_t value = bits[bit >> 6] >> shift;
        if (shift + width_[f] > 64)
            value |= bits[(bit >> 6) + 1] << (64 - shift);
        value &= (std::uint64_t{1} << width_[f]) - 1;
        figures[f] = static_cast<std::int64_t>(words_[f]) + static_cast<std::int64_t>(value);
        bit += width_[f];
    }
    PingStats s;
    s.count = static_cast<std::int32_t>(figures[0]);
    s.minimum = static_cast<std::int32_t>(figures[1]);
    s.average = static_cast<std::int32_t>(figures[1] + figures[2]);
    s.maximum = static_cast<std::int32_t>(figures[1] + figures[2] + figures[3]);
    s.drops = static_cast<std::int32_t>(figures[4]);
    s.disconnects = static_cast<std::int32_t>(figures[5]);
    s.last = static_cast<std::int32_t>(figures[6]);
    return s;
}

PingStats BucketArray::read(std::int64_t key, std::size_t slot) const {
    for (const Whole& whole : whole_) {
        if (whole.key == key && whole.buckets)
            return (*whole.buckets)[slot];
    }
    const Chunk* chunk = chunks_.find(key);
    if (!chunk || slot < chunk->first || slot - chunk->first >= chunk->packed.size())
        return PingStats();
    return chunk->packed.at(slot - chunk->first);
}

PingStats BucketArray::get(std::int64_t index) const {
    return read(index >> chunkBits, static_cast<std::size_t>(index & (chunkSize - 1)));
}

void BucketArray::Whole::reset(std::int64_t newKey) {
    if (!buckets)
        buckets = std::make_unique<std::array<PingStats, slots>>();
    else if (!empty())
        std::fill(buckets->begin() + static_cast<std::ptrdiff_t>(first), buckets->begin() + static_cast<std::ptrdiff_t>(end),
                  PingStats());
    key = newKey;
    first = slots;
    end = 0;
}

BucketArray::Whole& BucketArray::unpack(std::int64_t key) {
    if (whole_[0].key == key)
        return whole_[0];
    if (whole_[1].key != key) {
        Whole& leaving = whole_[1];
        if (!leaving.empty()) {
            Chunk& chunk = *chunks_.obtain(leaving.key).first;
            chunk.first = static_cast<std::uint16_t>(leaving.first);
            chunk.packed = Packed(leaving.set());
        }
        leaving.reset(key);
        if (const Chunk* chunk = chunks_.find(key)) {
            for (std::size_t i = 0; i < chunk->packed.size(); ++i)
                leaving.at(chunk->first + i) = chunk->packed.at(i);
            chunks_.erase(key);
        }
    }
    std::swap(whole_[0], whole_[1]);
    return whole_[0];
}

void BucketArray::copy(std::int64_t first, std::span<PingStats> out) const {
    std::size_t i = 0;
    while (i < out.size()) {
        const std::int64_t index = first + static_cast<std::int64_t>(i);
        const std::int64_t key = index >> chunkBits;
        const auto slot = static_cast<std::size_t>(index & (chunkSize - 1));
        const std::size_t run = std::min(out.size() - i, static_cast<std::size_t>(chunkSize) - slot);
        for (std::size_t j = 0; j < run; ++j)
            out[i + j] = read(key, slot + j);
        i += run;
    }
}

void BucketArray::clear() {
    chunks_.clear();
    whole_ = {};
}
