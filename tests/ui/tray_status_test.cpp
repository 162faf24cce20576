#include "ui/tray_status.h"

#include <gtest/gtest.h>

namespace {

using ui::TrayHost;

TEST(TrayStatusTest, WorstEnabledHostGivesTheImageAndTheTipCountsTheAnsweredOnes) {
    struct Case {
        std::vector<TrayHost> hosts;
        ui::StatusImage image;
        const char* tip;
    };
    const Case cases[] = {
        {{}, ui::statusDisabled, "tarnlet: no host is pinged"},
        // A disabled host's last reply counts for nothing.
        {{{false, 300}, {false, -1}}, ui::statusDisabled, "tarnlet: no host is pinged"},
        {{{true, 3}}, ui::statusFast, "1 of 1 host up, slowest 3 ms"},
        {{{true, 3}, {true, 120}, {false, 900}, {true, 30}}, ui::statusLate, "3 of 3 hosts up, slowest 120 ms"},
        // No reply is worse than the slowest reply, and the slowest is among those that answered.
        {{{true, 400}, {true, -1}, {true, 20}}, ui::statusLost, "2 of 3 hosts up, slowest 400 ms"},
        {{{true, -1}, {true, -7}}, ui::statusLost, "0 of 2 hosts up"},
        {{{true, 0}, {true, 0}}, ui::statusFast, "2 of 2 hosts up, slowest 0 ms"},
        {{{true, 250}, {true, 249}}, ui::statusSlow, "2 of 2 hosts up, slowest 250 ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tip);
        const ui::TrayStatus status = ui::trayStatus(c.hosts);
        EXPECT_EQ(status.image, c.image);
        EXPECT_EQ(status.tip, c.tip);
    }
}

} // namespace
