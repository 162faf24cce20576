#include "ui/hover_text.h"

#include <gtest/gtest.h>

namespace {

const cpp::DateTime now(cpp::Duration::seconds(1'000'000));

TEST(HoverTextTest, SaysHowLongTheHostHasBeenConnectedOrDisconnectedAfterAnyFoldedLabel) {
    HostRecord host;
    host.name = "example.test";
    host.run = RunState::running;
    host.connectedSince = now - cpp::Duration::seconds(90);
    host.disconnectedSince = now - cpp::Duration::seconds(600);
    EXPECT_EQ(ui::hoverText(host, now, std::nullopt), "Connected for 1 minute, 30 seconds\n");
    EXPECT_EQ(ui::hoverText(host, now, cpp::String("example.test")),
              "example.test\n\nConnected for 1 minute, 30 seconds\n");

    std::swap(host.connectedSince, host.disconnectedSince);
    EXPECT_EQ(ui::hoverText(host, now, std::nullopt), "Disconnected for 1 minute, 30 seconds\n");

    // Never connected nor disconnected: both are equal, nothing to say.
    host.connectedSince = host.disconnectedSince;
    EXPECT_EQ(ui::hoverText(host, now, std::nullopt), "");
}

TEST(HoverTextTest, ListsDisconnectionsWhetherOrNotTheHostIsActive) {
    HostRecord host;
    host.run = RunState::stopped;
    host.connectedSince = now - cpp::Duration::seconds(5);
    host.disconnectedSince = now - cpp::Duration::seconds(3600);
    host.disconnects = 3;
    host.averageDisconnect = cpp::Duration::seconds(4);
    host.longestDisconnect = cpp::Duration::minutes(2);
    EXPECT_EQ(ui::hoverText(host, now, std::nullopt),
              "There have been 3 disconnect(s) this session:\n"
              "    Average: 4 seconds\n"
              "    Longest: 2 minutes\n");
}

TEST(HoverTextTest, IsCutToFitTheBufferWithItsTerminatorNeverSplittingASurrogatePair) {
    const std::u16string text = u"Connected for 5 seconds\n";
    EXPECT_EQ(ui::fitToBuffer(text, 0), u"");
    EXPECT_EQ(ui::fitToBuffer(text, 1), u"");
    EXPECT_EQ(ui::fitToBuffer(text, 10), u"Connected");
    // Exactly room for text and terminator: nothing cut.
    EXPECT_EQ(ui::fitToBuffer(text, text.size() + 1), text);
    EXPECT_EQ(ui::fitToBuffer(text, text.size()), text.substr(0, text.size() - 1));
    // "ab", then U+1F600 as a pair, then "c": the pair goes whole or not at all.
    EXPECT_EQ(ui::fitToBuffer(u"ab\U0001F600c", 4), u"ab");
    EXPECT_EQ(ui::fitToBuffer(u"ab\U0001F600c", 5), u"ab\U0001F600");
}

} // namespace
