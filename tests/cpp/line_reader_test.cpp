#include "cpp/line_reader.h"

#include "cpp/exception.h"
#include "cpp/scripted_streams.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <string>
#include <vector>

namespace cpp {
namespace {

using test::ScriptedSource;

struct Seen {
    std::uint64_t offset;
    std::uint64_t number;
    std::string text; // "<none>" for an entry without a line
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* out) {
    *out << "{" << seen.offset << ", " << seen.number << ", \"" << seen.text << "\"}";
}

std::vector<Seen> readAll(LineReader reader) {
    std::vector<Seen> seen;
    for (const LineReader::Line& line : reader) {
        seen.push_back({line.offset, line.number, line.hasLine() ? std::string(line.text.view()) : "<none>"});
    }
    return seen;
}

// The stream as one chunk or one byte a read, ended with its last byte or
// only by a read that finds nothing more.
std::shared_ptr<ScriptedSource> play(const std::string& stream, bool byteByByte, bool endOnRead) {
    auto source = std::make_shared<ScriptedSource>();
    if (byteByByte) {
        for (char c : stream) {
            source->chunk(std::string(1, c));
        }
    } else if (!stream.empty()) {
        source->chunk(stream);
    }
    if (endOnRead) {
        source->endOnRead();
    }
    return source;
}

TEST(LineReader, LinesNumbersAndOffsetsHoldForEveryBufferAndChunking) {
    // Byte by byte, a line end's CR and LF come in reads of their own, and a
    // small buffer fills up between them.
    const std::vector<Seen> expected{{0, 0, "a"}, {3, 1, "b"}, {5, 2, ""}, {6, 3, "c"}};
    for (std::size_t bufferSize : {1u, 2u, 3u, 65536u}) {
        for (bool byteByByte : {false, true}) {
            for (bool endOnRead : {false, true}) {
                SCOPED_TRACE(testing::Message() << "buffer " << bufferSize << (byteByByte ? ", bytes" : ", whole")
                                                << (endOnRead ? ", ends on a read" : ""));
                EXPECT_EQ(readAll(LineReader(play("a\r\nb\n\nc", byteByByte, endOnRead), bufferSize,
                                             Duration::infinite)),
                          expected);
            }
        }
    }
}

TEST(LineReader, LineLongerThanTheBufferArrivesWhole) {
    for (bool endOnRead : {false, true}) {
        // The last line fills the buffer twice over, so all of it is held
        // over when the input ends.
        const std::vector<Seen> expected{{0, 0, "abcdefghij"}, {12, 1, "xy"}, {15, 2, "01234567"}};
        EXPECT_EQ(readAll(LineReader(play("abcdefghij\r\nxy\n01234567", false, endOnRead), 4, Duration::infinite)),
                  expected);
    }
    // Lines of exactly the buffer's size, with and without their line feed inside it.
    const std::vector<Seen> exact{{0, 0, "abcd"}, {5, 1, "efg"}, {9, 2, "hijk"}};
    EXPECT_EQ(readAll(LineReader(play("abcd\nefg\nhijk", false, false), 4, Duration::infinite)), exact);
}

TEST(LineReader, TrimsLineEndsOnlyAtBothEnds) {
    const std::vector<Seen> expected{{0, 0, "a\rb"}, {5, 1, "x"}, {10, 2, "tab\t kept"}, {20, 3, ""}};
    EXPECT_EQ(readAll(LineReader(play("a\rb\r\n\r\rx\r\ntab\t kept\n\r\r\n", false, false), 64, Duration::infinite)),
              expected);
}

TEST(LineReader, SilentOpenSourceGivesOneEntryWithoutALinePerTimeOut) {
    const Duration timeout = Duration::milliseconds(200);
    auto source = std::make_shared<ScriptedSource>();
    source->chunk("first\nse").silence(2).chunk("cond\n").silence().endOnRead();
    LineReader reader(source, 64, timeout);
    const std::vector<Seen> expected{
        {0, 0, "first"}, {6, 1, "<none>"}, {6, 1, "<none>"}, {6, 1, "second"}, {13, 2, "<none>"}};
    EXPECT_EQ(readAll(reader), expected);
    // One read per step that timed out: each entry without a line came after
    // exactly one time-out, and every read was bounded by the reader's.
    EXPECT_EQ(source->reads, 6);
    for (const Duration& asked : source->timeouts) {
        EXPECT_EQ(asked, timeout);
    }
    EXPECT_FALSE(reader.next());
}

TEST(LineReader, SourceThatNeverEndsKeepsYieldingEntriesWithoutALine) {
    auto source = std::make_shared<ScriptedSource>();
    source->chunk("partial").stayOpen();
    LineReader reader(source, 64, Duration::milliseconds(1));
    for (int i = 0; i < 3; ++i) {
        const std::optional<LineReader::Line> entry = reader.next();
        ASSERT_TRUE(entry);
        EXPECT_FALSE(entry->hasLine());
    }
    // Closing from the reading side ends the wait; what had arrived is the last line.
    reader.close();
    const std::optional<LineReader::Line> last = reader.next();
    ASSERT_TRUE(last && last->hasLine());
    EXPECT_EQ(last->text.view(), "partial");
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(source->closes, 1);
}

TEST(LineReader, EndsWithoutInventingLines) {
    EXPECT_TRUE(readAll(LineReader(play("", false, false), 64, Duration::infinite)).empty());
    EXPECT_TRUE(readAll(LineReader(play("", false, true), 64, Duration::infinite)).empty());
    EXPECT_TRUE(readAll(LineReader(Input(), 64, Duration::infinite)).empty());
    // A final line feed ends the last line; it does not start another.
    EXPECT_EQ(readAll(LineReader(play("a\n", false, true), 64, Duration::infinite)),
              (std::vector<Seen>{{0, 0, "a"}}));
    EXPECT_EQ(readAll(LineReader(play("\n", true, false), 64, Duration::infinite)),
              (std::vector<Seen>{{0, 0, ""}}));
}

TEST(LineReader, CopiesShareOnePosition) {
    LineReader reader(play("one\ntwo\nthree\n", false, false), 64, Duration::infinite);
    LineReader copy = reader;
    EXPECT_EQ(reader.next()->text.view(), "one");
    EXPECT_EQ(copy.next()->text.view(), "two");
    const std::optional<LineReader::Line> third = reader.next();
    EXPECT_EQ(third->number, 2u);
    EXPECT_EQ(third->offset, 8u);
    EXPECT_FALSE(copy.next());
}

TEST(ByteReader, ChunksCarryTheirOffsetsAndTimeOutsGiveEmptyChunks) {
    auto source = std::make_shared<ScriptedSource>();
    source->chunk("abc").chunk("de").silence().chunk("f").endOnRead();
    std::vector<std::pair<std::uint64_t, std::string>> seen;
    for (const ByteReader::Chunk& chunk : ByteReader(source, 2, Duration::milliseconds(200))) {
        seen.emplace_back(chunk.offset, std::string(chunk.bytes.view()));
    }
    // No empty chunk for the end itself: it would read as one more time-out.
    const std::vector<std::pair<std::uint64_t, std::string>> expected{
        {0, "ab"}, {2, "c"}, {3, "de"}, {5, ""}, {5, "f"}};
    EXPECT_EQ(seen, expected);
}

TEST(ByteReader, EndedInputGivesNoChunks) {
    EXPECT_FALSE(ByteReader(Input(), 16, Duration::infinite).next());
    auto source = std::make_shared<ScriptedSource>();
    source->chunk("xy");
    ByteReader reader(source, 16, Duration::infinite);
    ByteReader copy = reader;
    EXPECT_EQ(reader.next()->bytes.view(), "xy");
    EXPECT_FALSE(copy.next());
    EXPECT_FALSE(reader.next());
}

} // namespace
} // namespace cpp
