#pragma once

#include "app/bucket_array.h"
#include "app/ping_stats.h"
#include "app/session_file.h"
#include "cpp/time.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <span>
#include <vector>

// What happened to a bucket, at a second of its minute: a sample added, a
// row's statistics merged, or, first in a minute's log, the statistics the
// bucket of that second already held.
struct BucketEntry {
    enum class Kind : std::uint8_t { sample, row, start };

    std::uint8_t second = 0;
    Kind kind = Kind::sample;
    std::int32_t value = 0;
    PingStats stats;

    void applyTo(PingStats& bucket) const {
        if (kind == Kind::sample)
            bucket.add(value);
        else if (kind == Kind::row)
            bucket.merge(stats);
        else
            bucket = stats;
    }
};

// For every minute, whether it has a bucket and what went into it, so that
// its buckets under a minute need not be kept. A minute into which only rows
// went, all at the same second, has one bucket under a minute on each scale,
// equal to the minute's own; that is what a loaded year is made of. Any other
// minute keeps the entries that went into it, in order, a byte or two each:
// those of the minute appended to last in memory, the others in the session
// file, out of the program's memory. Its short buckets are those entries
// replayed.
class MinuteLog {
public:
    explicit MinuteLog(SessionFile& cold) : cold_(&cold) {}

    static constexpr std::uint8_t absent = 0;
    static constexpr std::uint8_t logged = 0xFF;
    // Otherwise 1 + the second of the minute at which every row went in.
    // Both inline: loading a year of rows asks and sets a kind a million times.
    std::uint8_t kind(std::int64_t minute) const {
        const Chunk* chunk = chunks_.find(minute >> BucketArray::chunkBits);
        return chunk ? chunk->kind(slotOf(minute)) : absent;
    }
    void setKind(std::int64_t minute, std::uint8_t kind) {
        chunks_.obtain(minute >> BucketArray::chunkBits).first->setKind(slotOf(minute), kind);
    }

    // Makes the minute logged, with the entry as its latest.
    void append(std::int64_t minute, const BucketEntry& entry);
    // Every entry of a logged minute, in order.
    template <class Visit>
    void replay(std::int64_t minute, Visit&& visit) const {
        const auto [begin, end] = bytes(minute);
        for (const std::uint8_t* in = begin; in < end;)
            visit(take(in));
    }
    // Every minute that has a bucket, oldest first.
    void forEachMinute(const std::function<void(std::int64_t)>& visit) const;
    void clear();

    // A cold minute of more than summarizedAbove entries keeps its buckets
    // of these lengths after them, seven numbers each, so that a long look
    // back need not replay every entry.
    static constexpr std::array<std::int64_t, 3> summaryLengths{30, 15, 5};
    static constexpr std::size_t summarizedAbove = 20;
    // The buckets of the minute of summaryLengths[which], oldest first, when
    // it has them.
    bool summary(std::int64_t minute, std::size_t which, std::span<PingStats> buckets) const;

private:
    // 2 + 4 + 12 buckets: the longest first, as they are read most.
    static constexpr std::size_t summarySize = 18;
    static constexpr std::uint32_t summarized = 0x80000000u;
    struct Cold {
        // Of each logged minute's entries in the session file; its size has
        // the summarized bit when its buckets follow.
        std::array<SessionFile::Place, BucketArray::chunkSize> place{};
        std::array<std::uint32_t, BucketArray::chunkSize> size{};
    };
    struct Chunk {
        // A chunk whose minutes all have the same kind, as a loaded file's
        // whole chunks have, keeps the kind alone.
        std::uint8_t uniform = absent;
        std::unique_ptr<std::array<std::uint8_t, BucketArray::chunkSize>> kinds;
        std::uint8_t kind(std::size_t slot) const { return kinds ? (*kinds)[slot] : uniform; }
        // Inline for a chunk of mixed kinds short of its last slot, as a
        // chunk being loaded is.
        void setKind(std::size_t slot, std::uint8_t kind) {
            if (kinds && slot + 1 < kinds->size())
                (*kinds)[slot] = kind;
            else
                setKindOfAnySlot(slot, kind);
        }
        void setKindOfAnySlot(std::size_t slot, std::uint8_t kind);
        // Made with the chunk's first minute to go cold: loaded rows need none.
        std::unique_ptr<Cold> cold;
    };
    static std::size_t slotOf(std::int64_t minute) {
        return static_cast<std::size_t>(minute & (BucketArray::chunkSize - 1));
    }
    // Moves the hot minute's entries to the session file.
    void cool();
    // The logged minute's entries; nothing for another.
    std::pair<const std::uint8_t*, const std::uint8_t*> bytes(std::int64_t minute) const;
    // The entry at in, moving in past it.
    static BucketEntry take(const std::uint8_t*& in);

    SessionFile* cold_;
    ChunkMap<Chunk> chunks_;
    // The minute appended to last, and its entries.
    std::int64_t hot_ = INT64_MIN;
    std::vector<std::uint8_t> hotBytes_;
};

// A row's statistics and the second, since the store's origin, it starts at.
struct TimedStats {
    std::int64_t second = 0;
    PingStats stats;
};

// The buckets of one host, or of all hosts, at the eleven scales. Times are
// whole seconds since the store's origin; bucket k of a scale of L seconds
// covers [k L, (k + 1) L). Buckets of a minute and longer are kept as they
// are; those under a minute are worked out from the minute's log.
class ScaleBuckets {
public:
    explicit ScaleBuckets(SessionFile& cold) : log_(cold) {}

    static constexpr std::array<std::int64_t, 11> lengths{1, 5, 15, 30, 60, 120, 300, 900, 1800, 3600, 86400};
    static constexpr std::size_t minuteScale = 4;

    // The lengths as durations: 1 s, 5 s, 15 s, 30 s, 1 min, 2 min, 5 min,
    // 15 min, 30 min, 1 h, 24 h.
    static std::vector<cpp::Duration> scales();
    static cpp::Duration firstScale();
    // The scale after (before) the first scale not smaller than scale, or
    // scale itself at the end.
    static cpp::Duration nextScale(const cpp::Duration& scale);
    static cpp::Duration previousScale(const cpp::Duration& scale);
    // Where scale is among the lengths; nothing for a scale that is not one.
    static std::optional<std::size_t> scalePosition(const cpp::Duration& scale);

    void add(std::int64_t second, std::int32_t value);
    void merge(std::int64_t second, const PingStats& stats);
    // merge for each row in order, the bucket of each scale kept at hand
    // while the rows go to it: a batch of a loaded file goes in faster.
    void mergeRows(std::span<const TimedStats> rows);

    // out[i] = bucket first + i of lengths[scale].
    void copy(std::size_t scale, std::int64_t first, std::span<PingStats> out) const;

    bool hasMinute(std::int64_t minute) const { return log_.kind(minute) != MinuteLog::absent; }
    PingStats minute(std::int64_t minute) const { return kept_[0].get(minute); }
    // Every minute that has a bucket, oldest first.
    void forEachMinute(const std::function<void(std::int64_t, const PingStats&)>& visit) const;
    void clear();

private:
    // The entry into the bucket of each kept scale.
    void keep(std::int64_t second, const BucketEntry& entry);
    // A row in its minute's log; inline for a minute of rows at one second,
    // as a loaded file's minutes are, which needs only the minute's kind.
    void logRow(std::int64_t minute, std::uint8_t second, const PingStats& stats) {
        const auto rowsHere = static_cast<std::uint8_t>(1 + second);
        const std::uint8_t kind = log_.kind(minute);
        if (kind == MinuteLog::absent)
            log_.setKind(minute, rowsHere);
        else if (kind != rowsHere)
            log(minute, BucketEntry{second, BucketEntry::Kind::row, 0, stats});
    }
    // The entry in its minute's log, the minute's rows at one second first
    // when they were alone.
    void log(std::int64_t minute, const BucketEntry& entry);

    // The minute scale and those above it.
    std::array<BucketArray, lengths.size() - minuteScale> kept_;
    MinuteLog log_;
};
