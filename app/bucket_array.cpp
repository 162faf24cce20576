#include "app/bucket_array.h"

#include <algorithm>

namespace {

constexpr std::int32_t narrowLimit = 0xFFFF;

bool fits16(std::int32_t value) {
    return value >= 0 && value <= narrowLimit;
}

std::uint16_t narrowed(std::int32_t value) {
    return static_cast<std::uint16_t>(value);
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

bool BucketArray::fitsNarrow(const PingStats& s) {
    return s.last == 0 && fits16(s.count) && fits16(s.average) && fits16(s.maximum) && fits16(s.minimum) &&
           fits16(s.drops) && fits16(s.disconnects);
}

PingStats BucketArray::widen(const Narrow& n) {
    PingStats stats;
    stats.count = n.count;
    stats.average = n.average;
    stats.maximum = n.maximum;
    stats.minimum = n.minimum;
    stats.drops = n.drops;
    stats.disconnects = n.disconnects;
    return stats;
}

PingStats BucketArray::read(const Chunk& chunk, std::size_t slot) {
    if (slot < chunk.first)
        return PingStats();
    const std::size_t at = slot - chunk.first;
    if (!chunk.full.empty())
        return at < chunk.full.size() ? chunk.full[at] : PingStats();
    return at < chunk.narrow.size() ? widen(chunk.narrow[at]) : PingStats();
}

PingStats BucketArray::get(std::int64_t index) const {
    return index == openIndex_ ? open_ : stored(index);
}

PingStats BucketArray::stored(std::int64_t index) const {
    const Chunk* chunk = chunks_.find(index >> chunkBits);
    return chunk ? read(*chunk, static_cast<std::size_t>(index & (chunkSize - 1))) : PingStats();
}

void BucketArray::open(std::int64_t index) {
    if (openIndex_)
        store(*openIndex_, open_);
    open_ = stored(index);
    openIndex_ = index;
}

void BucketArray::store(std::int64_t index, const PingStats& stats) {
    Chunk& chunk = *chunks_.obtain(index >> chunkBits).first;
    const auto slot = static_cast<std::size_t>(index & (chunkSize - 1));
    if (chunk.full.empty()) {
        if (fitsNarrow(stats)) {
            cover(chunk.narrow, chunk.first, slot);
            chunk.narrow[slot - chunk.first] = Narrow{narrowed(stats.count),   narrowed(stats.average),
                                                      narrowed(stats.maximum), narrowed(stats.minimum),
                                                      narrowed(stats.drops),   narrowed(stats.disconnects)};
            return;
        }
        chunk.full.reserve(chunk.narrow.size());
        for (const Narrow& narrow : chunk.narrow)
            chunk.full.push_back(widen(narrow));
        chunk.narrow = {};
    }
    cover(chunk.full, chunk.first, slot);
    chunk.full[slot - chunk.first] = stats;
}

void BucketArray::copy(std::int64_t first, std::span<PingStats> out) const {
    std::size_t i = 0;
    while (i < out.size()) {
        const std::int64_t index = first + static_cast<std::int64_t>(i);
        const std::int64_t key = index >> chunkBits;
        const auto slot = static_cast<std::size_t>(index & (chunkSize - 1));
        const std::size_t run = std::min(out.size() - i, static_cast<std::size_t>(chunkSize) - slot);
        if (const Chunk* chunk = chunks_.find(key)) {
            for (std::size_t j = 0; j < run; ++j)
                out[i + j] = read(*chunk, slot + j);
        } else {
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(i), run, PingStats());
        }
        i += run;
    }
    if (openIndex_ && *openIndex_ >= first && *openIndex_ - first < static_cast<std::int64_t>(out.size()))
        out[static_cast<std::size_t>(*openIndex_ - first)] = open_;
}

void BucketArray::clear() {
    chunks_.clear();
    openIndex_.reset();
}
