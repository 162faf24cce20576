#pragma once

#include "cpp/text_span.h"

#include <cstdint>
#include <deque>
#include <string>

namespace cpp {

// The writes of a file handle that have not reached the file yet, in order.
// The first may already be in the system's hands, so only a second one ever
// grows: there are at most two entries however often the caller writes.
class WriteQueue {
public:
    struct Write {
        std::uint64_t offset;
        std::string bytes;
    };

    void add(std::uint64_t offset, TextSpan bytes) {
        if (entries_.size() < 2) {
            entries_.push_back(Write{offset, std::string(bytes.view())});
        } else {
            entries_.back().bytes.append(bytes.view());
        }
    }

    bool empty() const { return entries_.empty(); }
    const Write& front() const { return entries_.front(); }
    void pop() { entries_.pop_front(); }
    void clear() { entries_.clear(); }

private:
    // A deque, so that an entry being written never moves.
    std::deque<Write> entries_;
};

} // namespace cpp
