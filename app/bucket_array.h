#pragma once

#include "app/ping_stats.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

// Chunks by key, in key order, remembering the one found last: the store's
// work mostly goes to the same chunk as the work before.
template <class Chunk>
class ChunkMap {
public:
    const Chunk* find(std::int64_t key) const {
        if (key != cachedKey_) {
            const auto found = chunks_.find(key);
            if (found == chunks_.end())
                return nullptr;
            cachedKey_ = key;
            cached_ = &found->second;
        }
        return cached_;
    }
    Chunk* find(std::int64_t key) { return const_cast<Chunk*>(static_cast<const ChunkMap*>(this)->find(key)); }
    // The chunk, made empty if there was none; the flag tells which.
    std::pair<Chunk*, bool> obtain(std::int64_t key) {
        if (Chunk* chunk = find(key))
            return {chunk, false};
        cachedKey_ = key;
        cached_ = &chunks_[key];
        return {const_cast<Chunk*>(cached_), true};
    }
    void clear() {
        chunks_.clear();
        cachedKey_ = noKey;
        cached_ = nullptr;
    }
    const std::map<std::int64_t, Chunk>& chunks() const { return chunks_; }

private:
    static constexpr std::int64_t noKey = INT64_MIN;
    std::map<std::int64_t, Chunk> chunks_;
    mutable std::int64_t cachedKey_ = noKey;
    mutable const Chunk* cached_ = nullptr;
};

// The buckets of one scale, by index, in chunks of consecutive indexes. A
// chunk keeps its buckets in 12 bytes each while every figure fits 16 bits
// and last is 0, as rows read back from a data file do, and turns to whole
// PingStats for good once one does not. A bucket never set reads all zero,
// as an empty bucket does. The bucket set last is held whole beside the
// chunks until another is set: samples and rows mostly go to the same
// bucket as the one before.
class BucketArray {
public:
    PingStats get(std::int64_t index) const;
    // Calls change with the bucket to change in place.
    template <class Change>
    void update(std::int64_t index, Change&& change) {
        if (index != openIndex_)
            open(index);
        change(open_);
    }
    // out[i] = bucket first + i.
    void copy(std::int64_t first, std::span<PingStats> out) const;
    void clear();

    static constexpr int chunkBits = 8;
    static constexpr std::int64_t chunkSize = std::int64_t{1} << chunkBits;

private:
    struct Narrow {
        std::uint16_t count = 0, average = 0, maximum = 0, minimum = 0, drops = 0, disconnects = 0;
    };
    struct Chunk {
        // At most one of the two holds buckets: those of the slots from
        // first on that have been set, and any between them. A lone bucket
        // far from the others, as a stray row makes, costs one record.
        std::size_t first = 0;
        std::vector<Narrow> narrow;
        std::vector<PingStats> full;
    };

    static bool fitsNarrow(const PingStats& stats);
    static PingStats widen(const Narrow& narrow);
    static PingStats read(const Chunk& chunk, std::size_t slot);
    PingStats stored(std::int64_t index) const;
    void store(std::int64_t index, const PingStats& stats);
    // Puts the held bucket back into its chunk and holds this one instead.
    void open(std::int64_t index);

    ChunkMap<Chunk> chunks_;
    std::optional<std::int64_t> openIndex_;
    PingStats open_;
};
