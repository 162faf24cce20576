#include "app/scale_buckets.h"

#include "cpp/floor_div.h"

#include <algorithm>
#include <utility>

namespace {

using cpp::Duration;
using cpp::floorDiv;

const std::array<Duration, ScaleBuckets::lengths.size()> durations = [] {
    std::array<Duration, ScaleBuckets::lengths.size()> scales;
    for (std::size_t s = 0; s < scales.size(); ++s)
        scales[s] = Duration::seconds(static_cast<std::uint64_t>(ScaleBuckets::lengths[s]));
    return scales;
}();

std::uint8_t secondOfMinute(std::int64_t second) {
    return static_cast<std::uint8_t>(second - floorDiv(second, 60) * 60);
}

// Entries as bytes: the second (0-59) and the kind in the top two bits, then
// the value or the six figures, each zigzag-encoded in 7-bit groups. A reply
// of 0-255 ms, most samples, is the fourth kind with its value in one byte.
constexpr int kindShift = 6;
constexpr std::uint8_t secondMask = 0x3F;
constexpr std::uint8_t shortSample = 3;

void putNumber(std::vector<std::uint8_t>& out, std::int32_t value) {
    std::uint32_t zigzag = (static_cast<std::uint32_t>(value) << 1) ^ static_cast<std::uint32_t>(value >> 31);
    while (zigzag >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(zigzag | 0x80));
        zigzag >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(zigzag));
}

std::int32_t takeNumber(const std::uint8_t*& in) {
    std::uint32_t zigzag = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = *in++;
        zigzag |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
        if (byte < 0x80)
            break;
    }
    return static_cast<std::int32_t>((zigzag >> 1) ^ (~(zigzag & 1) + 1));
}

// A whole bucket, last too, as seven numbers.
void putStats(std::vector<std::uint8_t>& out, const PingStats& s) {
    for (const std::int32_t figure : {s.count, s.average, s.maximum, s.minimum, s.drops, s.disconnects, s.last})
        putNumber(out, figure);
}

PingStats takeStats(const std::uint8_t*& in) {
    PingStats s;
    for (std::int32_t* figure : {&s.count, &s.average, &s.maximum, &s.minimum, &s.drops, &s.disconnects, &s.last})
        *figure = takeNumber(in);
    return s;
}

void putEntry(std::vector<std::uint8_t>& out, const BucketEntry& entry) {
    if (entry.kind == BucketEntry::Kind::sample && entry.value >= 0 && entry.value <= 0xFF) {
        out.push_back(static_cast<std::uint8_t>(entry.second | shortSample << kindShift));
        out.push_back(static_cast<std::uint8_t>(entry.value));
        return;
    }
    out.push_back(static_cast<std::uint8_t>(entry.second | static_cast<std::uint8_t>(entry.kind) << kindShift));
    if (entry.kind == BucketEntry::Kind::sample) {
        putNumber(out, entry.value);
        return;
    }
    const PingStats& s = entry.stats;
    for (const std::int32_t figure : {s.count, s.average, s.maximum, s.minimum, s.drops, s.disconnects})
        putNumber(out, figure);
}

} // namespace

void MinuteLog::Chunk::setKindOfAnySlot(std::size_t slot, std::uint8_t kind) {
    if (!kinds) {
        if (kind == uniform)
            return;
        kinds = std::make_unique<std::array<std::uint8_t, BucketArray::chunkSize>>();
        kinds->fill(uniform);
    }
    (*kinds)[slot] = kind;
    // Rows mostly come in order: when the last minute is set, see whether
    // they filled the chunk alike.
    if (slot + 1 == kinds->size() &&
        std::all_of(kinds->begin(), kinds->end(), [kind](std::uint8_t each) { return each == kind; })) {
        uniform = kind;
        kinds.reset();
    }
}

void MinuteLog::append(std::int64_t minute, const BucketEntry& entry) {
    Chunk& chunk = *chunks_.obtain(minute >> BucketArray::chunkBits).first;
    const std::size_t slot = slotOf(minute);
    if (minute != hot_) {
        cool();
        hotBytes_.clear();
        // A minute gone cold takes its entries back; their copy in the file
        // is left unused.
        if (chunk.kind(slot) == logged) {
            const std::uint8_t* from = cold_->at(chunk.cold->place[slot]);
            hotBytes_.assign(from, from + (chunk.cold->size[slot] & ~summarized));
        }
        hot_ = minute;
    }
    chunk.setKind(slot, logged);
    putEntry(hotBytes_, entry);
}

void MinuteLog::cool() {
    if (hot_ == INT64_MIN)
        return;
    Chunk& chunk = *chunks_.find(hot_ >> BucketArray::chunkBits);
    if (!chunk.cold)
        chunk.cold = std::make_unique<Cold>();
    const std::size_t slot = slotOf(hot_);
    auto size = static_cast<std::uint32_t>(hotBytes_.size());
    std::array<PingStats, summarySize> buckets{};
    std::size_t entries = 0;
    replay(hot_, [&](const BucketEntry& entry) {
        ++entries;
        std::size_t offset = 0;
        for (const std::int64_t length : summaryLengths) {
            entry.applyTo(buckets[offset + static_cast<std::size_t>(entry.second / length)]);
            offset += static_cast<std::size_t>(60 / length);
        }
    });
    if (entries > summarizedAbove) {
        for (const PingStats& bucket : buckets)
            putStats(hotBytes_, bucket);
        size |= summarized;
    }
    chunk.cold->place[slot] = cold_->put(hotBytes_);
    chunk.cold->size[slot] = size;
    hot_ = INT64_MIN;
}

bool MinuteLog::summary(std::int64_t minute, std::size_t which, std::span<PingStats> buckets) const {
    const Chunk* chunk = minute == hot_ ? nullptr : chunks_.find(minute >> BucketArray::chunkBits);
    const std::size_t slot = slotOf(minute);
    if (!chunk || chunk->kind(slot) != logged || !(chunk->cold->size[slot] & summarized))
        return false;
    std::size_t offset = 0;
    for (std::size_t s = 0; s < which; ++s)
        offset += static_cast<std::size_t>(60 / summaryLengths[s]);
    const std::uint8_t* in = cold_->at(chunk->cold->place[slot]) + (chunk->cold->size[slot] & ~summarized);
    for (std::size_t i = 0; i < offset; ++i)
        takeStats(in);
    for (PingStats& bucket : buckets)
        bucket = takeStats(in);
    return true;
}

std::pair<const std::uint8_t*, const std::uint8_t*> MinuteLog::bytes(std::int64_t minute) const {
    if (minute == hot_)
        return {hotBytes_.data(), hotBytes_.data() + hotBytes_.size()};
    const Chunk* chunk = chunks_.find(minute >> BucketArray::chunkBits);
    const std::size_t slot = slotOf(minute);
    if (!chunk || chunk->kind(slot) != logged)
        return {nullptr, nullptr};
    const std::uint8_t* begin = cold_->at(chunk->cold->place[slot]);
    return {begin, begin + (chunk->cold->size[slot] & ~summarized)};
}

BucketEntry MinuteLog::take(const std::uint8_t*& in) {
    BucketEntry entry;
    const std::uint8_t head = *in++;
    entry.second = head & secondMask;
    if (head >> kindShift == shortSample) {
        entry.value = *in++;
        return entry;
    }
    entry.kind = static_cast<BucketEntry::Kind>(head >> kindShift);
    if (entry.kind == BucketEntry::Kind::sample) {
        entry.value = takeNumber(in);
        return entry;
    }
    PingStats& s = entry.stats;
    for (std::int32_t* figure : {&s.count, &s.average, &s.maximum, &s.minimum, &s.drops, &s.disconnects})
        *figure = takeNumber(in);
    return entry;
}

void MinuteLog::forEachMinute(const std::function<void(std::int64_t)>& visit) const {
    for (const auto& [key, chunk] : chunks_.chunks()) {
        for (std::size_t slot = 0; slot < static_cast<std::size_t>(BucketArray::chunkSize); ++slot) {
            if (chunk.kind(slot) != absent)
                visit(key * BucketArray::chunkSize + static_cast<std::int64_t>(slot));
        }
    }
}

void MinuteLog::clear() {
    chunks_.clear();
    hot_ = INT64_MIN;
    hotBytes_.clear();
}

void ScaleBuckets::log(std::int64_t minute, const BucketEntry& entry) {
    const std::uint8_t kind = log_.kind(minute);
    if (kind != MinuteLog::absent && kind != MinuteLog::logged) {
        // Rows alone so far, all at one second: the bucket of that second
        // is the minute's bucket as it stands.
        log_.append(minute, BucketEntry{static_cast<std::uint8_t>(kind - 1), BucketEntry::Kind::start, 0,
                                        kept_[0].get(minute)});
    }
    log_.append(minute, entry);
}

void ScaleBuckets::keep(std::int64_t second, const BucketEntry& entry) {
    // Unrolled, so that each scale divides by a constant.
    [&]<std::size_t... s>(std::index_sequence<s...>) {
        (entry.applyTo(kept_[s].bucket(floorDiv(second, lengths[minuteScale + s]))), ...);
    }(std::make_index_sequence<lengths.size() - minuteScale>());
}

void ScaleBuckets::add(std::int64_t second, std::int32_t value) {
    const BucketEntry entry{secondOfMinute(second), BucketEntry::Kind::sample, value, {}};
    log(floorDiv(second, 60), entry);
    keep(second, entry);
}

void ScaleBuckets::merge(std::int64_t second, const PingStats& stats) {
    // Before the minute's bucket takes the row: the log may read it.
    logRow(floorDiv(second, 60), secondOfMinute(second), stats);
    keep(second, BucketEntry{secondOfMinute(second), BucketEntry::Kind::row, 0, stats});
}

void ScaleBuckets::mergeRows(std::span<const TimedStats> rows) {
    constexpr std::size_t scales = lengths.size() - minuteScale;
    // Each scale's bucket at hand, and the seconds [from, to) it covers.
    std::array<std::int64_t, scales> from{};
    std::array<std::int64_t, scales> to{};
    std::array<PingStats*, scales> bucket{};
    const auto take = [&](std::size_t s, std::int64_t k, std::int64_t length) {
        from[s] = k * length;
        to[s] = from[s] + length;
        bucket[s] = &kept_[s].bucket(k);
    };
    for (const TimedStats& row : rows) {
        const std::int64_t second = row.second;
        if (second < from[0] || second >= to[0])
            take(0, floorDiv(second, 60), 60);
        // Before the minute's bucket takes the row: the log may read it.
        logRow(from[0] / 60, static_cast<std::uint8_t>(second - from[0]), row.stats);
        const auto mergeAt = [&]<std::size_t s>(std::integral_constant<std::size_t, s>) {
            constexpr std::int64_t length = lengths[minuteScale + s];
            if (second < from[s] || second >= to[s])
                take(s, floorDiv(second, length), length);
            bucket[s]->merge(row.stats);
        };
        // Unrolled: each scale divides by a constant, and the scales' merges,
        // which do not depend on each other, overlap.
        [&]<std::size_t... s>(std::index_sequence<s...>) {
            (mergeAt(std::integral_constant<std::size_t, s>()), ...);
        }(std::make_index_sequence<scales>());
    }
}

void ScaleBuckets::copy(std::size_t scale, std::int64_t first, std::span<PingStats> out) const {
    if (scale >= minuteScale) {
        kept_[scale - minuteScale].copy(first, out);
        return;
    }
    std::fill(out.begin(), out.end(), PingStats());
    if (out.empty())
        return;
    const std::int64_t length = lengths[scale];
    const auto count = static_cast<std::int64_t>(out.size());
    const auto place = [&](std::int64_t second) -> PingStats* {
        const std::int64_t k = floorDiv(second, length) - first;
        return k >= 0 && k < count ? &out[static_cast<std::size_t>(k)] : nullptr;
    };
    const std::int64_t last = floorDiv((first + count) * length - 1, 60);
    for (std::int64_t minute = floorDiv(first * length, 60); minute <= last; ++minute) {
        const std::uint8_t kind = log_.kind(minute);
        if (kind == MinuteLog::absent)
            continue;
        if (kind != MinuteLog::logged) {
            if (PingStats* bucket = place(minute * 60 + kind - 1))
                *bucket = kept_[0].get(minute);
            continue;
        }
        // A bucket under a minute lies within its minute.
        std::array<PingStats, 12> summary;
        const auto which = static_cast<std::size_t>(
            std::find(MinuteLog::summaryLengths.begin(), MinuteLog::summaryLengths.end(), length) -
            MinuteLog::summaryLengths.begin());
        const auto perMinute = static_cast<std::size_t>(60 / length);
        if (which < MinuteLog::summaryLengths.size() &&
            log_.summary(minute, which, std::span(summary.data(), perMinute))) {
            for (std::size_t i = 0; i < perMinute; ++i) {
                if (PingStats* bucket = place(minute * 60 + static_cast<std::int64_t>(i) * length))
                    *bucket = summary[i];
            }
            continue;
        }
        log_.replay(minute, [&](const BucketEntry& entry) {
            if (PingStats* bucket = place(minute * 60 + entry.second))
                entry.applyTo(*bucket);
        });
    }
}

void ScaleBuckets::forEachMinute(const std::function<void(std::int64_t, const PingStats&)>& visit) const {
    log_.forEachMinute([&](std::int64_t minute) { visit(minute, kept_[0].get(minute)); });
}

void ScaleBuckets::clear() {
    for (BucketArray& buckets : kept_)
        buckets.clear();
    log_.clear();
}

std::vector<Duration> ScaleBuckets::scales() {
    return std::vector<Duration>(durations.begin(), durations.end());
}

Duration ScaleBuckets::firstScale() {
    return durations.front();
}

Duration ScaleBuckets::nextScale(const Duration& scale) {
    const auto found = std::lower_bound(durations.begin(), durations.end(), scale);
    if (found == durations.end() || found + 1 == durations.end())
        return scale;
    return *(found + 1);
}

Duration ScaleBuckets::previousScale(const Duration& scale) {
    const auto found = std::lower_bound(durations.begin(), durations.end(), scale);
    if (found == durations.begin())
        return scale;
    return *(found - 1);
}

std::optional<std::size_t> ScaleBuckets::scalePosition(const Duration& scale) {
    const auto found = std::lower_bound(durations.begin(), durations.end(), scale);
    if (found == durations.end() || *found != scale)
        return std::nullopt;
    return static_cast<std::size_t>(found - durations.begin());
}
