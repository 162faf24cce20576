#include "app/bucket_array.h"

#include <algorithm>
#include <bit>

namespace {

using Figures = std::array<std::int64_t, 7>;

// Differences rather than the figures themselves where they are small.
Figures figuresOf(const PingStats& s) {
    return {s.count,
            s.minimum,
            std::int64_t{s.average} - s.minimum,
            std::int64_t{s.maximum} - s.average,
            s.drops,
            s.disconnects,
            s.last};
}

// Grows records, which hold the slots from first on, to hold slot too.
template <class Record>
void cover(std::vector<Record>& records, std::size_t& first, std::size_t slot) {
    if (records.empty()) {
        first = slot;
        records.resize(1);
    } else if (slot < first) {
        records.insert(records.begin(), first - slot, Record());
        first = slot;
    } else if (slot - first == records.size()) {
        records.emplace_back();
    } else if (slot - first > records.size()) {
        records.resize(slot - first + 1);
    }
}

} // namespace

BucketArray::Packed::Packed(std::span<const PingStats> stats) : size_(static_cast<std::uint16_t>(stats.size())) {
    if (stats.empty())
        return;
    // Two passes over the buckets, the ranges and then the bits: packing a
    // chunk is the larger part of loading a year of rows.
    Figures low = figuresOf(stats[0]);
    Figures high = low;
    for (const PingStats& bucket : stats.subspan(1)) {
        const Figures each = figuresOf(bucket);
        for (std::size_t f = 0; f < figureCount; ++f) {
            low[f] = std::min(low[f], each[f]);
            high[f] = std::max(high[f], each[f]);
        }
    }
    for (std::size_t f = 0; f < figureCount; ++f) {
        width_[f] = static_cast<std::uint8_t>(std::bit_width(static_cast<std::uint64_t>(high[f] - low[f])));
        stride_ = static_cast<std::uint16_t>(stride_ + width_[f]);
    }
    // A word more, so that a figure's bits can always be read as two words.
    const std::size_t words = figureCount + (std::size_t{stride_} * stats.size() + 63) / 64 + 1;
    words_ = std::make_unique<std::uint64_t[]>(words);
    std::copy(low.begin(), low.end(), words_.get());
    // Bucket after bucket, figure after figure, the bits are in order: they
    // are gathered a word at a time.
    std::uint64_t* out = words_.get() + figureCount;
    std::uint64_t word = 0;
    unsigned filled = 0;
    for (const PingStats& bucket : stats) {
        const Figures each = figuresOf(bucket);
        for (std::size_t f = 0; f < figureCount; ++f) {
            const unsigned width = width_[f];
            if (width == 0)
                continue;
            const auto value = static_cast<std::uint64_t>(each[f] - low[f]);
            word |= value << filled;
            filled += width;
            if (filled >= 64) {
                *out++ = word;
                filled -= 64;
                // The value's bits that did not fit; none when it ended the word.
                word = filled == 0 ? 0 : value >> (width - filled);
            }
        }
    }
    if (filled > 0)
        *out = word;
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
        if (whole.key == key) {
            const std::size_t at = slot - whole.first;
            return slot >= whole.first && at < whole.buckets.size() ? whole.buckets[at] : PingStats();
        }
    }
    const Chunk* chunk = chunks_.find(key);
    if (!chunk || slot < chunk->first || slot - chunk->first >= chunk->packed.size())
        return PingStats();
    return chunk->packed.at(slot - chunk->first);
}

PingStats BucketArray::get(std::int64_t index) const {
    return index == openIndex_ ? open_ : read(index >> chunkBits, static_cast<std::size_t>(index & (chunkSize - 1)));
}

void BucketArray::open(std::int64_t index) {
    if (openIndex_)
        store(*openIndex_, open_);
    open_ = get(index);
    openIndex_ = index;
}

BucketArray::Whole& BucketArray::unpack(std::int64_t key) {
    if (whole_[0].key == key)
        return whole_[0];
    if (whole_[1].key != key) {
        Whole& leaving = whole_[1];
        if (!leaving.buckets.empty()) {
            Chunk& chunk = *chunks_.obtain(leaving.key).first;
            chunk.first = static_cast<std::uint16_t>(leaving.first);
            chunk.packed = Packed(leaving.buckets);
        }
        leaving.key = key;
        leaving.first = 0;
        // Assigning {} would keep the capacity.
        std::vector<PingStats>().swap(leaving.buckets);
        if (const Chunk* chunk = chunks_.find(key)) {
            leaving.first = chunk->first;
            leaving.buckets.reserve(chunk->packed.size());
            for (std::size_t i = 0; i < chunk->packed.size(); ++i)
                leaving.buckets.push_back(chunk->packed.at(i));
            chunks_.erase(key);
        }
    }
    std::swap(whole_[0], whole_[1]);
    return whole_[0];
}

void BucketArray::store(std::int64_t index, const PingStats& stats) {
    Whole& whole = unpack(index >> chunkBits);
    const auto slot = static_cast<std::size_t>(index & (chunkSize - 1));
    cover(whole.buckets, whole.first, slot);
    whole.buckets[slot - whole.first] = stats;
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
    if (openIndex_ && *openIndex_ >= first && *openIndex_ - first < static_cast<std::int64_t>(out.size()))
        out[static_cast<std::size_t>(*openIndex_ - first)] = open_;
}

void BucketArray::clear() {
    chunks_.clear();
    whole_ = {};
    openIndex_.reset();
}
