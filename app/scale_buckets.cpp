#include "app/scale_buckets.h"

#include <algorithm>
#include <utility>

namespace {

inline std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

std::uint8_t secondOfMinute(std::int64_t second) {
    return static_cast<std::uint8_t>(second - floorDiv(second, 60) * 60);
}

std::size_t slotOf(std::int64_t minute) {
    return static_cast<std::size_t>(minute & (BucketArray::chunkSize - 1));
}

// Entries as bytes: the second (0-59) and the kind in the top two bits, then
// the value or the six figures, each zigzag-encoded in 7-bit groups.
constexpr int kindShift = 6;
constexpr std::uint8_t secondMask = 0x3F;

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

void putEntry(std::vector<std::uint8_t>& out, const BucketEntry& entry) {
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

std::uint8_t MinuteLog::kind(std::int64_t minute) const {
    const Chunk* chunk = chunks_.find(minute >> BucketArray::chunkBits);
    return chunk ? chunk->kinds[slotOf(minute)] : absent;
}

void MinuteLog::setKind(std::int64_t minute, std::uint8_t kind) {
    chunks_.obtain(minute >> BucketArray::chunkBits).first->kinds[slotOf(minute)] = kind;
}

void MinuteLog::append(std::int64_t minute, const BucketEntry& entry) {
    const std::int64_t key = minute >> BucketArray::chunkBits;
    Chunk& chunk = *chunks_.obtain(key).first;
    if (key != growing_) {
        // The chunk written before is likely done with: give back its slack.
        if (const Chunk* previous = chunks_.find(growing_); previous && previous->logs)
            previous->logs->arena.shrink_to_fit();
        growing_ = key;
    }
    if (!chunk.logs)
        chunk.logs = std::make_unique<Logs>();
    Logs& logs = *chunk.logs;
    const std::size_t slot = slotOf(minute);
    std::vector<std::uint8_t>& arena = logs.arena;
    const auto size = static_cast<std::uint32_t>(arena.size());
    if (chunk.kinds[slot] != logged) {
        chunk.kinds[slot] = logged;
        logs.begin[slot] = logs.end[slot] = size;
    } else if (logs.end[slot] != size) {
        // Another minute was written since: this one moves to the end.
        const std::uint32_t from = logs.begin[slot];
        const std::uint32_t length = logs.end[slot] - from;
        arena.resize(size + length);
        std::copy_n(arena.begin() + from, length, arena.begin() + size);
        logs.garbage += length;
        logs.begin[slot] = size;
    }
    putEntry(arena, entry);
    logs.end[slot] = static_cast<std::uint32_t>(arena.size());
    if (logs.garbage > 4096 && logs.garbage > arena.size() / 2)
        compact(chunk);
}

void MinuteLog::compact(Chunk& chunk) {
    Logs& logs = *chunk.logs;
    std::vector<std::uint8_t> arena;
    for (std::size_t slot = 0; slot < chunk.kinds.size(); ++slot) {
        if (chunk.kinds[slot] != logged)
            continue;
        const auto begin = static_cast<std::uint32_t>(arena.size());
        arena.insert(arena.end(), logs.arena.begin() + logs.begin[slot], logs.arena.begin() + logs.end[slot]);
        logs.begin[slot] = begin;
        logs.end[slot] = static_cast<std::uint32_t>(arena.size());
    }
    logs.arena = std::move(arena);
    logs.garbage = 0;
}

std::pair<const std::uint8_t*, const std::uint8_t*> MinuteLog::bytes(std::int64_t minute) const {
    const Chunk* chunk = chunks_.find(minute >> BucketArray::chunkBits);
    const std::size_t slot = slotOf(minute);
    if (!chunk || chunk->kinds[slot] != logged)
        return {nullptr, nullptr};
    const Logs& logs = *chunk->logs;
    return {logs.arena.data() + logs.begin[slot], logs.arena.data() + logs.end[slot]};
}

BucketEntry MinuteLog::take(const std::uint8_t*& in) {
    BucketEntry entry;
    const std::uint8_t head = *in++;
    entry.second = head & secondMask;
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
        for (std::size_t slot = 0; slot < chunk.kinds.size(); ++slot) {
            if (chunk.kinds[slot] != absent)
                visit(key * BucketArray::chunkSize + static_cast<std::int64_t>(slot));
        }
    }
}

void MinuteLog::clear() {
    chunks_.clear();
    growing_ = INT64_MIN;
}

void ScaleBuckets::enter(std::int64_t second, const BucketEntry& entry) {
    const std::int64_t minute = floorDiv(second, 60);
    const std::uint8_t kind = log_.kind(minute);
    const auto rowsHere = static_cast<std::uint8_t>(1 + entry.second);
    if (entry.kind == BucketEntry::Kind::row && (kind == MinuteLog::absent || kind == rowsHere)) {
        log_.setKind(minute, rowsHere);
    } else {
        if (kind != MinuteLog::absent && kind != MinuteLog::logged) {
            // Rows alone so far, all at one second: the bucket of that second
            // is the minute's bucket as it stands.
            log_.append(minute, BucketEntry{static_cast<std::uint8_t>(kind - 1), BucketEntry::Kind::start, 0,
                                            kept_[0].get(minute)});
        }
        log_.append(minute, entry);
    }
    // Unrolled, so that each scale divides by a constant.
    [&]<std::size_t... s>(std::index_sequence<s...>) {
        (kept_[s].update(floorDiv(second, lengths[minuteScale + s]),
                         [&entry](PingStats& bucket) { entry.applyTo(bucket); }),
         ...);
    }(std::make_index_sequence<lengths.size() - minuteScale>());
}

void ScaleBuckets::add(std::int64_t second, std::int32_t value) {
    enter(second, BucketEntry{secondOfMinute(second), BucketEntry::Kind::sample, value, {}});
}

void ScaleBuckets::merge(std::int64_t second, const PingStats& stats) {
    enter(second, BucketEntry{secondOfMinute(second), BucketEntry::Kind::row, 0, stats});
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
