#pragma once

#include "cpp/text_span.h"

#include <cstddef>
#include <span>
#include <vector>

namespace cpp {

// A fixed-capacity byte buffer, filled at the back and consumed from the
// front. The readers and the buffered sources keep their unread bytes here.
class DataBuffer {
public:
    // A capacity of 0 becomes 1, so that a read always has room.
    explicit DataBuffer(std::size_t capacity);

    std::size_t capacity() const { return bytes_.size(); }
    // Unread bytes.
    std::size_t size() const { return fill_ - read_; }
    bool empty() const { return fill_ == read_; }
    // No room is left even after moving the unread bytes to the front.
    bool full() const { return size() == capacity(); }

    // Valid until the buffer is next written through freeSpace().
    TextSpan unread() const { return TextSpan(bytes_.data() + read_, bytes_.data() + fill_); }

    // The room after the unread bytes. When the back is used up, the unread
    // bytes move to the front first, so spans from unread() go stale.
    std::span<char> freeSpace();
    // Counts count bytes written into freeSpace() as unread. Throws
    // IOException "DataBuffer write failed" when that is more than the room.
    void commit(std::size_t count);
    // Throws IOException "DataBuffer read failed" when count is more than is unread.
    void consume(std::size_t count);
    void clear() { read_ = fill_ = 0; }

    // Copies as many unread bytes as fit into destination, consumes them and
    // returns the span of the copy.
    TextSpan take(std::span<char> destination);

private:
    std::vector<char> bytes_;
    std::size_t read_ = 0;
    std::size_t fill_ = 0;
};

} // namespace cpp
