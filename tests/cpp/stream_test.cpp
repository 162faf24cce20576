#include "cpp/stream.h"

#include "cpp/exception.h"
#include "cpp/scripted_streams.h"
#include "cpp/thrown.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

namespace cpp {
namespace {

using test::RecordingSink;
using test::ScriptedSource;

TEST(Input, GetFillsTheBufferAcrossShortReadsWithoutTimeOut) {
    auto source = std::make_shared<ScriptedSource>();
    source->chunk("ab").chunk("cd").chunk("ef");
    const Input input(source);
    std::array<char, 5> buffer{};
    const TextSpan got = input.get(buffer);
    EXPECT_EQ(got.view(), "abcde");
    EXPECT_EQ(got.begin(), buffer.data());
    std::array<char, 1> last{};
    EXPECT_EQ(input.get(last).view(), "f");
    for (const Duration& timeout : source->timeouts) {
        EXPECT_TRUE(timeout.isInfinite());
    }
}

TEST(Input, GetThrowsWhenTheSourceEndsFirst) {
    for (bool endOnRead : {false, true}) {
        auto source = std::make_shared<ScriptedSource>();
        source->chunk("abcd");
        if (endOnRead) {
            source->endOnRead();
        }
        std::array<char, 10> buffer{};
        EXPECT_EQ(test::thrownText<EOFException>([&] { Input(source).get(buffer); }),
                  "Input::get() : input was closed before all data could be read.");
    }
    // Without a source the input reads as ended.
    const Input none;
    std::array<char, 1> one{};
    EXPECT_FALSE(none.isOpen());
    EXPECT_TRUE(none.read(one, Duration::infinite).empty());
    EXPECT_THROW(none.get(one), EOFException);
    none.close();
}

TEST(Input, GetOfNothingLeavesTheSourceAlone) {
    auto source = std::make_shared<ScriptedSource>();
    source->chunk("x");
    EXPECT_TRUE(Input(source).get(std::span<char>()).empty());
    EXPECT_EQ(source->openChecks, 0);
    EXPECT_EQ(source->reads, 0);
    EXPECT_TRUE(Input().get(std::span<char>()).empty());
}

TEST(Input, CopiesShareTheSourceAndItsPosition) {
    auto source = std::make_shared<ScriptedSource>();
    source->chunk("abcd");
    const Input first(source);
    const Input second = first;
    std::array<char, 2> buffer{};
    EXPECT_EQ(first.get(buffer).view(), "ab");
    EXPECT_EQ(second.get(buffer).view(), "cd");
    EXPECT_FALSE(first.isOpen());
    second.close();
    EXPECT_EQ(source->closes, 1);
}

TEST(Output, PutAndPrintWriteEverythingThroughShortWrites) {
    auto sink = std::make_shared<RecordingSink>(3);
    const Output output(sink);
    const TextSpan text("hello world");
    const TextSpan put = output.put(text);
    EXPECT_EQ(put.begin(), text.begin());
    EXPECT_EQ(put.size(), text.size());
    EXPECT_EQ(sink->writes, 4);
    output.print("\t%\t%\n", String("2024-03-01 14:05:09"), -1);
    output.print("100% sure");
    EXPECT_EQ(sink->text, "hello world\t2024-03-01 14:05:09\t-1\n100% sure");
}

TEST(Output, PutThrowsWhenTheSinkClosesFirst) {
    auto sink = std::make_shared<RecordingSink>(2, 5);
    EXPECT_EQ(test::thrownText<EOFException>([&] { Output(sink).put("hello world"); }),
              "Output::put() : output was closed before all data could be written.");
    EXPECT_EQ(sink->text, "hello");
    EXPECT_THROW(Output().put("x"), IOException);
}

TEST(Output, PutOfNothingLeavesTheSinkAlone) {
    auto sink = std::make_shared<RecordingSink>();
    const Output output(sink);
    EXPECT_TRUE(output.put("").empty());
    output.print("");
    EXPECT_EQ(sink->openChecks, 0);
    EXPECT_EQ(sink->writes, 0);
    // Even a closed or missing sink takes nothing without complaint.
    output.close();
    EXPECT_FALSE(output.isOpen());
    output.put("");
    Output().put("");
    Output().flush();
    Output().close();
}

} // namespace
} // namespace cpp
