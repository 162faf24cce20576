#include "ui/outage_notices.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace ui {

void PrintTo(const Notice& notice, std::ostream* out) {
    *out << "{" << notice.title << " | " << notice.text << "}";
}

} // namespace ui

namespace {

using cpp::DateTime;
using cpp::Duration;
using Kind = HostEvent::Kind;

// A whole day into the epoch, so that the clock texts of the notices are
// those of the local time zone of any test machine.
DateTime at(std::uint64_t second) {
    return DateTime(Duration::seconds(86400 + second));
}

cpp::String clock(std::uint64_t second) {
    return cpp::Date(at(second)).format("%H:%M:%S");
}

class OutageNoticesTest : public ::testing::Test {
protected:
    void tell(Kind kind, const cpp::String& name, std::uint64_t second, std::int32_t raw = 0) {
        notices.hostChanged(HostEvent{kind, name, at(second), raw});
    }
    void enable(std::initializer_list<const char*> names) {
        for (const char* name : names)
            tell(Kind::enabled, name, 0);
    }
    // Polls once a second from first to last, as the window's timer does;
    // the window polls only while the notices wait, so no notice may come
    // while they do not.
    std::vector<ui::Notice> pollFrom(std::uint64_t first, std::uint64_t last) {
        std::vector<ui::Notice> shown;
        for (std::uint64_t second = first; second <= last; ++second)
            if (const auto notice = poll(second))
                shown.push_back(*notice);
        return shown;
    }
    std::optional<ui::Notice> poll(std::uint64_t second) {
        const bool waiting = notices.waiting();
        std::optional<ui::Notice> notice = notices.poll(at(second));
        EXPECT_TRUE(waiting || !notice) << "a notice at second " << second << " while not waiting";
        return notice;
    }

    ui::OutageNotices notices;
};

TEST_F(OutageNoticesTest, AHostDownForTenSecondsIsToldOnceAndItsReturnWithTheLength) {
    enable({"hidden-a", "hidden-b"});
    tell(Kind::sample, "hidden-a", 1, 10);
    tell(Kind::sample, "hidden-b", 1, 10);
    tell(Kind::sample, "hidden-a", 2, -1);
    tell(Kind::sample, "hidden-a", 3, -1);
    // Down from the second loss in a row: told ten seconds later, not before.
    EXPECT_TRUE(pollFrom(3, 12).empty());
    EXPECT_EQ(pollFrom(13, 13), (std::vector<ui::Notice>{{"hidden-a is not answering",
                                                          cpp::String("No reply since %.", clock(3))}}));
    EXPECT_TRUE(pollFrom(14, 60).empty());
    tell(Kind::sample, "hidden-a", 68, 12);
    EXPECT_EQ(pollFrom(68, 68),
              (std::vector<ui::Notice>{{"hidden-a answers again", "It did not answer for 1 min 5 s."}}));
}

TEST_F(OutageNoticesTest, ShortLossesAndHostsThatGoAreNeverTold) {
    enable({"a", "b"});
    for (std::uint64_t second = 1; second < 40; second += 3) {
        // One loss between replies, and a two-loss gap shorter than the delay.
        tell(Kind::sample, "a", second, -1);
        tell(Kind::sample, "a", second + 1, 5);
    }
    tell(Kind::sample, "b", 1, -1);
    tell(Kind::sample, "b", 2, -1);
    tell(Kind::sample, "b", 9, 5);
    // Down for good, then disabled before it would be told.
    tell(Kind::sample, "b", 20, -1);
    tell(Kind::sample, "b", 21, -1);
    tell(Kind::disabled, "b", 25);
    EXPECT_TRUE(pollFrom(1, 60).empty());
}

TEST_F(OutageNoticesTest, EveryEnabledHostDownIsOneConnectionNoticeInsteadOfOnePerHost) {
    enable({"a", "b", "c"});
    tell(Kind::disabled, "c", 0);
    for (const char* name : {"a", "b"}) {
        tell(Kind::sample, name, 1, -1);
        tell(Kind::sample, name, 2, -1);
    }
    EXPECT_EQ(pollFrom(3, 40), (std::vector<ui::Notice>{{"The connection is down",
                                                         cpp::String("No host has answered since %.", clock(2))}}));
    // The first host back ends it; the second back is no news.
    tell(Kind::sample, "b", 50, 5);
    tell(Kind::sample, "a", 52, 5);
    EXPECT_EQ(pollFrom(50, 100),
              (std::vector<ui::Notice>{{"The connection is back", "It was down for 48 s."}}));
}

TEST_F(OutageNoticesTest, AHostStillDownAfterTheConnectionIsBackIsToldOnItsOwn) {
    enable({"a", "b"});
    for (const char* name : {"a", "b"}) {
        tell(Kind::sample, name, 1, -1);
        tell(Kind::sample, name, 2, -1);
    }
    EXPECT_EQ(pollFrom(3, 20).size(), 1u);
    tell(Kind::sample, "a", 40, 5);
    // Back at 40, shown when the interval after the first notice ends; b,
    // still down ten seconds later, one interval after that.
    EXPECT_EQ(pollFrom(40, 80), (std::vector<ui::Notice>{{"The connection is back", "It was down for 38 s."},
                                                          {"b is not answering",
                                                           cpp::String("No reply since %.", clock(2))}}));
}

TEST_F(OutageNoticesTest, ABurstOfTwentyChangesInThirtySecondsGivesTwoNoticesAndLosesNoneFromTheSum) {
    enable({"h0", "h1", "h2", "h3", "h4", "h5", "h6", "h7", "h8", "h9", "keeps"});
    tell(Kind::sample, "keeps", 1, 5);
    std::vector<ui::Notice> shown;
    // Ten hosts go down one a second and come back after ten seconds and a
    // half: twenty changes, ten outages and ten returns.
    for (std::uint64_t second = 1; second <= 50; ++second) {
        if (second <= 10) {
            tell(Kind::sample, cpp::String("h%", second - 1), second, -1);
            tell(Kind::sample, cpp::String("h%", second - 1), second, -1);
        }
        if (second >= 21 && second <= 30)
            tell(Kind::sample, cpp::String("h%", second - 21), second, 7);
        if (const auto notice = poll(second))
            shown.push_back(*notice);
    }
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].title, "h0 is not answering");
    EXPECT_EQ(shown[1].title, "9 outages, 10 back");
    EXPECT_EQ(shown[1].text, cpp::String("h1 is not answering since %\nh2 is not answering since %\n"
                                         "h3 is not answering since %\nh4 is not answering since %\nand 15 more",
                                         clock(2), clock(3), clock(4), clock(5)));
}

// The window's timer runs only while waiting: quiet hosts, a host told and
// still down, and everything shown leave nothing to poll for.
TEST_F(OutageNoticesTest, WaitsOnlyWhileAHostIsUntoldOrANoticeAwaitsItsInterval) {
    enable({"a", "b"});
    tell(Kind::sample, "a", 1, 10);
    tell(Kind::sample, "b", 1, 10);
    EXPECT_FALSE(notices.waiting());
    tell(Kind::sample, "a", 2, -1);
    EXPECT_FALSE(notices.waiting()) << "one loss is no outage";
    tell(Kind::sample, "a", 3, -1);
    EXPECT_TRUE(notices.waiting());
    EXPECT_EQ(pollFrom(3, 13).size(), 1u);
    EXPECT_FALSE(notices.waiting()) << "told and still down";
    tell(Kind::sample, "a", 20, 10);
    // Back within the interval of the last notice: it waits for the interval.
    EXPECT_TRUE(pollFrom(20, 42).empty());
    EXPECT_TRUE(notices.waiting());
    EXPECT_EQ(pollFrom(43, 43).size(), 1u);
    EXPECT_FALSE(notices.waiting());
    // A host that goes while down is no longer waited for.
    tell(Kind::sample, "b", 50, -1);
    tell(Kind::sample, "b", 51, -1);
    EXPECT_TRUE(notices.waiting());
    tell(Kind::disabled, "b", 52);
    EXPECT_FALSE(notices.waiting());
}

} // namespace
