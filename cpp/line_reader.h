#pragma once

#include "cpp/stream.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

namespace cpp {

namespace detail {

// An input iterator over the entries that a reader's shared state yields one
// step at a time; constructing it takes the first step.
template <class State, class Entry>
class StepIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using pointer = const Entry*;
    using reference = const Entry&;

    StepIterator() = default;
    explicit StepIterator(std::shared_ptr<State> state);

    const Entry& operator*() const { return *entry_; }
    const Entry* operator->() const { return &*entry_; }
    StepIterator& operator++();
    void operator++(int) { ++*this; }
    bool operator==(std::default_sentinel_t) const { return !entry_; }

private:
    std::shared_ptr<State> state_;
    std::optional<Entry> entry_;
};

} // namespace detail

// Yields the lines of an input, ended by a line feed (carriage returns and
// line feeds trimmed off both ends); the last line needs no line feed. Copies
// share one position. Each read waits at most the time-out, and when that
// passes with no line the reader yields an entry without a line, so that the
// reading thread can check whether it should stop.
class LineReader {
    class State;

public:
    struct Line {
        // Of the line's first byte in the stream, and its number from 0.
        std::uint64_t offset = 0;
        std::uint64_t number = 0;
        // Null (begin() is null) for an entry without a line, which carries
        // the offset and number the next line will have. Points into the
        // reader and is valid until its next step.
        TextSpan text;

        bool hasLine() const { return text.begin() != nullptr; }
    };

    using Iterator = detail::StepIterator<State, Line>;

    // bufferSize bytes (at least 1) are read at a time; a longer line is
    // gathered in the reader and still delivered whole.
    LineReader(Input input, std::size_t bufferSize, Duration timeout);

    // Each step, begin() included, reads on from the shared position.
    Iterator begin() { return Iterator(state_); }
    std::default_sentinel_t end() const { return {}; }

    // The next entry; none once no line can come any more.
    std::optional<Line> next();

    const Input& input() const;
    void close() { input().close(); }

private:
    std::shared_ptr<State> state_;
};

// Yields an input chunk by chunk, each as much as one read delivered. Copies
// share one position. A time-out gives an empty chunk; the end of the input
// ends the iteration.
class ByteReader {
    class State;

public:
    struct Chunk {
        std::uint64_t offset = 0;
        // Valid until the reader's next step.
        TextSpan bytes;
    };

    using Iterator = detail::StepIterator<State, Chunk>;

    ByteReader(Input input, std::size_t bufferSize, Duration timeout);

    Iterator begin() { return Iterator(state_); }
    std::default_sentinel_t end() const { return {}; }

    // The next chunk; none once the input has ended.
    std::optional<Chunk> next();

    const Input& input() const;
    void close() { input().close(); }

private:
    std::shared_ptr<State> state_;
};

// Defined for these two in line_reader.cpp.
extern template class detail::StepIterator<LineReader::State, LineReader::Line>;
extern template class detail::StepIterator<ByteReader::State, ByteReader::Chunk>;

} // namespace cpp
