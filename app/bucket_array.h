#pragma once

#include "app/ping_stats.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>

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
    void erase(std::int64_t key) {
        chunks_.erase(key);
        cachedKey_ = noKey;
        cached_ = nullptr;
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

// The buckets of one scale, by index, in chunks of consecutive indexes. The
// two chunks set last are kept whole; any other is packed: each of its
// figures (count, minimum, average over the minimum, maximum over the
// average, drops, disconnects, last) in as few bits as its range in the
// chunk needs above the chunk's least, three or four bytes a bucket for rows
// and samples as they come. A bucket never set reads all zero, as an empty
// bucket does.
class BucketArray {
public:
    PingStats get(std::int64_t index) const;
    // The bucket to change in place; valid until the next call of bucket or
    // clear.
    PingStats& bucket(std::int64_t index) {
        const std::int64_t key = index >> chunkBits;
        Whole& whole = whole_[0].key == key ? whole_[0] : unpack(key);
        return whole.at(static_cast<std::size_t>(index & (chunkSize - 1)));
    }
    // out[i] = bucket first + i.
    void copy(std::int64_t first, std::span<PingStats> out) const;
    void clear();

    static constexpr int chunkBits = 8;
    static constexpr std::int64_t chunkSize = std::int64_t{1} << chunkBits;

private:
    static constexpr std::size_t figureCount = 7;
    static constexpr auto slots = static_cast<std::size_t>(chunkSize);
    // A run of buckets bit-packed, figure by figure: the figures' least
    // values, then their bits.
    class Packed {
    public:
        Packed() = default;
        explicit Packed(std::span<const PingStats> stats);
        std::size_t size() const { return size_; }
        PingStats at(std::size_t i) const;

    private:
        std::uint16_t size_ = 0;
        std::uint16_t stride_ = 0;
        std::array<std::uint8_t, figureCount> width_{};
        std::unique_ptr<std::uint64_t[]> words_;
    };
    // Of the slots from first on that have been set, and any between them.
    // A lone bucket far from the others, as a stray row makes, costs one
    // record.
    struct Chunk {
        std::uint16_t first = 0;
        Packed packed;
    };
    // A chunk set lately, all its slots at hand (7 KiB): rows and samples
    // mostly come to the next slot, which then needs no room made. The
    // slots from first to end are those set, and any between them; the
    // others hold zeros.
    struct Whole {
        std::int64_t key = INT64_MIN;
        std::size_t first = slots;
        std::size_t end = 0;
        // Made when the first chunk is taken.
        std::unique_ptr<std::array<PingStats, slots>> buckets;
        PingStats& at(std::size_t slot) {
            first = std::min(first, slot);
            end = std::max(end, slot + 1);
            return (*buckets)[slot];
        }
        bool empty() const { return first >= end; }
        std::span<const PingStats> set() const { return {buckets->data() + first, end - first}; }
        // Takes the chunk of key, every slot zero.
        void reset(std::int64_t key);
    };

    PingStats read(std::int64_t key, std::size_t slot) const;
    // The chunk whole, as the one set last, packing the one that leaves the two.
    Whole& unpack(std::int64_t key);

    // The chunks that are not whole.
    ChunkMap<Chunk> chunks_;
    // The two set last, the last first.
    std::array<Whole, 2> whole_;
};
