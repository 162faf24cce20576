#include "cpp/line_reader.h"

#include "cpp/data_buffer.h"
#include "cpp/exception.h"

#include <cstring>

namespace cpp {

namespace {

const TextSpan lineEnds("\r\n");

// Reads from input into buffer's free space; bytes a source hands back from
// elsewhere are moved into place. Returns how many arrived.
std::size_t readInto(const Input& input, DataBuffer& buffer, const Duration& timeout) {
    const std::span<char> room = buffer.freeSpace();
    const TextSpan got = input.read(room, timeout);
    IOException::check(got.size() <= room.size(), "DataBuffer write failed");
    if (!got.empty() && got.begin() != room.data()) {
        std::memmove(room.data(), got.begin(), got.size());
    }
    buffer.commit(got.size());
    return got.size();
}

} // namespace

class LineReader::State {
public:
    State(Input input, std::size_t bufferSize, Duration timeout)
        : input_(std::move(input)), buffer_(bufferSize), timeout_(timeout) {}

    const Input& input() const { return input_; }

    std::optional<Line> next() {
        if (ended_) {
            return std::nullopt;
        }
        do {
            if (std::optional<Line> line = findLine()) {
                return line;
            }
        } while (fill());
        if (!input_.isOpen() && buffer_.empty()) {
            ended_ = true;
            return std::nullopt;
        }
        return Line{offset_, number_, TextSpan()};
    }

private:
    std::optional<Line> findLine() {
        if (deliveredPartial_) {
            partial_.clear();
            deliveredPartial_ = false;
        }
        const TextSpan unread = buffer_.unread();
        const void* lineFeed = unread.empty() ? nullptr : std::memchr(unread.begin(), '\n', unread.size());
        if (lineFeed) {
            const char* stop = static_cast<const char*>(lineFeed) + 1;
            return deliver(TextSpan(unread.begin(), stop));
        }
        if (input_.isOpen()) {
            // Keep the beginning of a line longer than the buffer, so that
            // the buffer has room for the rest.
            if (buffer_.full()) {
                partial_.append(unread.begin(), unread.size());
                buffer_.clear();
            }
            return std::nullopt;
        }
        // The input has ended: what is left is the last line, even without a
        // line feed, and even when all of it had to go into the partial line.
        if (unread.empty() && partial_.empty()) {
            return std::nullopt;
        }
        return deliver(unread);
    }

    // piece is the rest of the line at the front of the buffer.
    Line deliver(TextSpan piece) {
        const std::uint64_t consumed = partial_.size() + piece.size();
        TextSpan text = piece;
        if (!partial_.empty()) {
            partial_.append(piece.begin(), piece.size());
            text = partial_.span();
            deliveredPartial_ = true;
        }
        // The bytes stay where they are until the next read, so text stays valid.
        buffer_.consume(piece.size());
        const Line line{offset_, number_, text.trim(lineEnds)};
        offset_ += consumed;
        ++number_;
        return line;
    }

    bool fill() {
        if (!input_.isOpen()) {
            return false;
        }
        if (readInto(input_, buffer_, timeout_) > 0) {
            return true;
        }
        // Nothing within the time-out: go on only if the input has just ended,
        // so that its last unterminated line can still be delivered.
        return !input_.isOpen();
    }

    const Input input_;
    DataBuffer buffer_;
    // The beginning of a line longer than the buffer; also where such a line
    // is delivered from, until the next step.
    String partial_;
    bool deliveredPartial_ = false;
    const Duration timeout_;
    std::uint64_t number_ = 0;
    std::uint64_t offset_ = 0;
    bool ended_ = false;
};

LineReader::LineReader(Input input, std::size_t bufferSize, Duration timeout)
    : state_(std::make_shared<State>(std::move(input), bufferSize, timeout)) {}

std::optional<LineReader::Line> LineReader::next() {
    return state_->next();
}

const Input& LineReader::input() const {
    return state_->input();
}

class ByteReader::State {
public:
    State(Input input, std::size_t bufferSize, Duration timeout)
        : input_(std::move(input)), buffer_(bufferSize), timeout_(timeout) {}

    const Input& input() const { return input_; }

    std::optional<Chunk> next() {
        if (ended_ || !input_.isOpen()) {
            ended_ = true;
            return std::nullopt;
        }
        buffer_.clear();
        const std::size_t count = readInto(input_, buffer_, timeout_);
        // An empty chunk means a time-out; one that comes with the end of the
        // input carries nothing and would only look like a time-out.
        if (count == 0 && !input_.isOpen()) {
            ended_ = true;
            return std::nullopt;
        }
        const Chunk chunk{offset_, buffer_.unread()};
        offset_ += count;
        return chunk;
    }

private:
    const Input input_;
    DataBuffer buffer_;
    const Duration timeout_;
    std::uint64_t offset_ = 0;
    bool ended_ = false;
};

ByteReader::ByteReader(Input input, std::size_t bufferSize, Duration timeout)
    : state_(std::make_shared<State>(std::move(input), bufferSize, timeout)) {}

std::optional<ByteReader::Chunk> ByteReader::next() {
    return state_->next();
}

const Input& ByteReader::input() const {
    return state_->input();
}

template <class State, class Entry>
detail::StepIterator<State, Entry>::StepIterator(std::shared_ptr<State> state)
    : state_(std::move(state)), entry_(state_->next()) {}

template <class State, class Entry>
detail::StepIterator<State, Entry>& detail::StepIterator<State, Entry>::operator++() {
    entry_ = state_->next();
    return *this;
}

template class detail::StepIterator<LineReader::State, LineReader::Line>;
template class detail::StepIterator<ByteReader::State, ByteReader::Chunk>;

} // namespace cpp
