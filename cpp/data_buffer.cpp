#include "cpp/data_buffer.h"

#include "cpp/exception.h"

#include <algorithm>
#include <cstring>

namespace cpp {

DataBuffer::DataBuffer(std::size_t capacity) : bytes_(std::max<std::size_t>(capacity, 1)) {}

std::span<char> DataBuffer::freeSpace() {
    if (read_ == fill_) {
        clear();
    } else if (fill_ == bytes_.size() && read_ > 0) {
        std::memmove(bytes_.data(), bytes_.data() + read_, fill_ - read_);
        fill_ -= read_;
        read_ = 0;
    }
    return std::span<char>(bytes_.data() + fill_, bytes_.size() - fill_);
}

void DataBuffer::commit(std::size_t count) {
    IOException::check(count <= bytes_.size() - fill_, "DataBuffer write failed");
    fill_ += count;
}

void DataBuffer::consume(std::size_t count) {
    IOException::check(count <= fill_ - read_, "DataBuffer read failed");
    read_ += count;
}

TextSpan DataBuffer::take(std::span<char> destination) {
    const TextSpan part = unread().substr(0, destination.size());
    const TextSpan copy = part.copyTo(destination);
    consume(part.size());
    return copy;
}

} // namespace cpp
