#include "cpp/each_line.h"

#include "cpp/line_reader.h"
#include "cpp/scripted_streams.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace cpp {
namespace {

using test::ScriptedSource;
using Lines = std::vector<std::pair<std::uint64_t, std::string>>;

// The stream cut into the given lengths, one a read.
std::shared_ptr<ScriptedSource> chunked(const std::string& stream, const std::vector<std::size_t>& lengths) {
    auto source = std::make_shared<ScriptedSource>();
    std::size_t at = 0;
    for (const std::size_t length : lengths) {
        source->chunk(stream.substr(at, length));
        at += length;
    }
    return source;
}

// LineReader is the reference: the loader must see the lines it would.
TEST(EachLine, EveryStreamChunkingAndBufferGivesTheLinesOfALineReader) {
    std::mt19937 random(7);
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    for (int round = 0; round < 400; ++round) {
        std::string stream;
        const std::size_t size = pick(120);
        for (std::size_t i = 0; i < size; ++i)
            stream += "aaaab\r\r\n\t"[pick(10)];
        if (pick(8) == 0)
            stream += std::string(pick(3), '\0');
        std::vector<std::size_t> lengths;
        for (std::size_t at = 0; at < stream.size();) {
            lengths.push_back(1 + pick(pick(2) == 0 ? 4 : 40));
            at += lengths.back();
        }
        Lines expected;
        for (const LineReader::Line& line : LineReader(chunked(stream, {stream.size()}), 1 + pick(30), Duration::infinite))
            expected.emplace_back(line.offset, std::string(line.text.view()));
        Lines seen;
        forEachLine(chunked(stream, lengths), 1 + pick(30), [&seen](std::uint64_t offset, TextSpan line) {
            seen.emplace_back(offset, std::string(line.view()));
            return true;
        });
        ASSERT_EQ(seen, expected) << testing::PrintToString(stream);
    }
}

TEST(EachLine, AVisitThatSaysNoEndsTheReading) {
    Lines seen;
    const auto source = chunked("one\ntwo\r\nthree\nfour", {5, 9, 6});
    forEachLine(source, 4, [&seen](std::uint64_t offset, TextSpan line) {
        seen.emplace_back(offset, std::string(line.view()));
        return seen.size() < 2;
    });
    EXPECT_EQ(seen, (Lines{{0, "one"}, {4, "two"}}));
    // Nothing was read past the read that held the second line's end.
    EXPECT_TRUE(source->isOpen());
}

} // namespace
} // namespace cpp
