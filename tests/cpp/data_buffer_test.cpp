#include "cpp/data_buffer.h"

#include "cpp/exception.h"
#include "cpp/thrown.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace cpp {
namespace {

void put(DataBuffer& buffer, const char* text) {
    const std::span<char> room = buffer.freeSpace();
    ASSERT_GE(room.size(), std::strlen(text));
    std::memcpy(room.data(), text, std::strlen(text));
    buffer.commit(std::strlen(text));
}

TEST(DataBuffer, ConsumedRoomIsReusedAndUnreadBytesKept) {
    DataBuffer buffer(4);
    put(buffer, "abcd");
    EXPECT_TRUE(buffer.full());
    EXPECT_TRUE(buffer.freeSpace().empty());
    buffer.consume(3);
    EXPECT_EQ(buffer.unread().view(), "d");
    // The back is used up: the unread byte moves to the front.
    EXPECT_EQ(buffer.freeSpace().size(), 3u);
    EXPECT_EQ(buffer.unread().view(), "d");
    put(buffer, "efg");
    EXPECT_EQ(buffer.unread().view(), "defg");
    std::array<char, 3> out{};
    EXPECT_EQ(buffer.take(out).view(), "def");
    EXPECT_EQ(buffer.take(out).view(), "g");
    EXPECT_TRUE(buffer.take(out).empty());
    EXPECT_EQ(buffer.freeSpace().size(), 4u);
}

TEST(DataBuffer, OverrunsThrow) {
    DataBuffer buffer(4);
    put(buffer, "ab");
    EXPECT_EQ(test::thrownText<IOException>([&] { buffer.consume(3); }), "DataBuffer read failed");
    EXPECT_EQ(buffer.unread().view(), "ab");
    EXPECT_THROW(buffer.commit(3), IOException);
    EXPECT_EQ(DataBuffer(0).capacity(), 1u);
}

} // namespace
} // namespace cpp
