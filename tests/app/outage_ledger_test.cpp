#include "app/outage_ledger.h"
#include "app/host_registry.h"
#include "app/manual_clock.h"
#include "app/no_data_directory.h"
#include "app/sample_store.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

using cpp::DateTime;
using cpp::Duration;
using Scope = Incident::Scope;
using Ending = Incident::Ending;

namespace {

DateTime at(double second) {
    return fromOrigin(9 * 3600) + Duration(static_cast<std::uint64_t>(second * 1000000));
}

// One thing that happens at a second of the test: a host's runner started
// ('+') or stopped ('-') or the host removed ('x'); a reply ('r') or a lost
// reply ('f', two in a row disconnect); the machine suspending ('S') or
// resuming ('W', with the host's lost replies while the runners restart:
// 'L'); the calendar clock put back an hour ('J').
struct Step {
    double second;
    char what;
    const char* host = "";
};

struct Expected {
    double start;
    std::uint64_t seconds;
    Scope scope;
    std::vector<cpp::String> hosts;
    Ending ended;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<Expected> incidents;
};

std::ostream& operator<<(std::ostream& out, const Case& c) {
    return out << c.name;
}

// Three hosts that have answered, at second 0.
std::vector<Step> threeHosts(std::vector<Step> rest) {
    std::vector<Step> steps{{0, '+', "a"}, {0, '+', "b"}, {0, '+', "c"}, {0, 'r', "a"}, {0, 'r', "b"}, {0, 'r', "c"}};
    steps.insert(steps.end(), rest.begin(), rest.end());
    return steps;
}

class OutageLedgerSessionTest : public ::testing::Test {
protected:
    OutageLedgerSessionTest() {
        clock->set(at(0));
        registry.addObserver(&ledger);
    }

    // Both clocks to the second; the calendar one less the hours put back.
    void moveTo(double second) {
        const Duration target(static_cast<std::uint64_t>(second * 1000000));
        clock->pass(target - elapsed);
        elapsed = target;
        clock->set(at(second) - Duration::hours(hoursBack));
    }

    void play(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            moveTo(step.second);
            switch (step.what) {
            case '+': registry.enable(step.host); break;
            case '-': registry.disable(step.host); break;
            case 'x': registry.remove(step.host); break;
            case 'r': registry.recordSample(step.host, 10); break;
            case 'f': registry.recordSample(step.host, -1); break;
            case 'S': ledger.suspend(); break;
            case 'W': ledger.resume([this] { registry.restartAll(); }); break;
            case 'L':
                // The old children's last words while the runners restart.
                ledger.resume([this, &step] {
                    registry.recordSample(step.host, -1);
                    registry.restartAll();
                    registry.recordSample(step.host, -1);
                });
                break;
            case 'J': hoursBack += 1; moveTo(step.second); break;
            default: FAIL() << "no step " << step.what;
            }
        }
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    int finishedCalls = 0;
    OutageLedger ledger{clock, [this] { ++finishedCalls; }};
    cpp::Bus bus = cpp::Bus::create(0, "test");
    SampleStore store{clock, noDataDirectory};
    // Never the system's ping: a program that cannot start.
    HostRegistry registry{store, clock, bus, {cpp::FilePath("/nonexistent/ping.exe"), Duration::seconds(3600)}};
    Duration elapsed;
    int hoursBack = 0;
};

class OutageLedgerTest : public OutageLedgerSessionTest, public ::testing::WithParamInterface<Case> {};

TEST_P(OutageLedgerTest, BuildsIncidentsFromTheDownSpansOfTheHosts) {
    const Case& c = GetParam();
    play(c.steps);
    std::vector<Incident> expected;
    for (const Expected& e : c.incidents)
        expected.push_back(Incident{at(e.start), Duration::seconds(e.seconds), e.scope, e.hosts, e.ended});
    EXPECT_EQ(ledger.history(), expected);
    EXPECT_EQ(ledger.takeFinished(), expected);
    EXPECT_TRUE(ledger.takeFinished().empty());
    EXPECT_EQ(finishedCalls, static_cast<int>(expected.size()));
    EXPECT_FALSE(ledger.current());
}

INSTANTIATE_TEST_SUITE_P(
    Spans, OutageLedgerTest,
    ::testing::Values(
        Case{"one host alone is remote",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {3, 'f', "a"}, {5, 'r', "a"}}),
             {{2, 3, Scope::remote, {"a"}, Ending::reply}}},
        Case{"all three at once is local, from the first down to the last back",
             threeHosts({{1, 'f', "b"}, {2, 'f', "b"}, {2, 'f', "a"}, {3, 'f', "a"}, {3, 'f', "c"}, {4, 'f', "c"},
                         {6, 'r', "b"}, {7, 'r', "a"}, {8, 'r', "c"}}),
             {{2, 6, Scope::local, {"b", "a", "c"}, Ending::reply}}},
        Case{"overlapping spans of two of three are one remote incident",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {3, 'f', "b"}, {4, 'f', "b"}, {6, 'r', "a"}, {8, 'r', "b"},
                         {9, 'f', "c"}, {10, 'f', "c"}, {11, 'r', "c"}}),
             {{2, 6, Scope::remote, {"a", "b"}, Ending::reply}, {10, 1, Scope::remote, {"c"}, Ending::reply}}},
        Case{"one host enabled is never local",
             {{0, '+', "a"}, {0, 'r', "a"}, {1, 'f', "a"}, {2, 'f', "a"}, {9, 'r', "a"}},
             {{2, 7, Scope::remote, {"a"}, Ending::reply}}},
        Case{"a host that never answered is left out",
             {{0, '+', "a"}, {0, '+', "b"}, {0, '+', "never"}, {0, 'r', "a"}, {0, 'r', "b"}, {0, 'f', "never"},
              {1, 'f', "never"}, {1, 'f', "a"}, {2, 'f', "a"}, {2, 'f', "b"}, {3, 'f', "b"}, {5, 'r', "a"},
              {6, 'r', "b"}},
             {{2, 4, Scope::local, {"a", "b"}, Ending::reply}}},
        Case{"disabling the one host still up leaves every enabled host down",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {2, 'f', "b"}, {3, 'f', "b"}, {4, '-', "c"}, {6, 'r', "a"},
                         {7, 'r', "b"}}),
             {{2, 5, Scope::local, {"a", "b"}, Ending::reply}}},
        Case{"disabling the last host down ends the incident",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {4, '-', "a"}}),
             {{2, 2, Scope::remote, {"a"}, Ending::disabled}}},
        Case{"a host enabled again while still down is down from its first loss",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {4, '-', "a"}, {10, '+', "a"}, {11, 'f', "a"},
                         {13, 'r', "a"}}),
             {{2, 2, Scope::remote, {"a"}, Ending::disabled}, {11, 2, Scope::remote, {"a"}, Ending::reply}}},
        Case{"a host removed during an incident stays named in it",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {2, 'f', "b"}, {3, 'f', "b"}, {4, 'x', "b"}, {6, 'r', "a"}}),
             {{2, 4, Scope::remote, {"a", "b"}, Ending::reply}}},
        Case{"a host enabled during an incident that has not answered keeps it local",
             {{0, '+', "a"}, {0, '+', "b"}, {0, 'r', "a"}, {0, 'r', "b"}, {1, 'f', "a"}, {2, 'f', "a"},
              {3, '+', "new"}, {3, 'f', "b"}, {4, 'f', "b"}, {6, 'r', "a"}, {6, 'r', "b"}},
             {{2, 4, Scope::local, {"a", "b"}, Ending::reply}}},
        Case{"a suspend ends the incident; after the resume it is a wake incident, later a plain one",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {3, 'f', "b"}, {4, 'f', "b"}, {5, 'S'}, {6, 'f', "c"},
                         {7, 'f', "c"}, {20, 'W'}, {21, 'f', "a"}, {22, 'f', "b"}, {24, 'r', "a"}, {25, 'r', "b"},
                         {26, 'r', "c"}, {81, 'f', "a"}, {82, 'f', "a"}, {83, 'r', "a"}}),
             {{2, 3, Scope::remote, {"a", "b"}, Ending::suspend},
              {21, 4, Scope::wake, {"a", "b"}, Ending::reply},
              {82, 1, Scope::remote, {"a"}, Ending::reply}}},
        Case{"lost replies while the runners restart begin nothing",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {4, 'S'}, {10, 'L', "a"}, {11, 'r', "a"}}),
             {{2, 2, Scope::remote, {"a"}, Ending::suspend}}},
        Case{"a resume with an incident open ends it as a suspend",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {4, 'W'}, {5, 'r', "a"}}),
             {{2, 2, Scope::remote, {"a"}, Ending::suspend}}},
        Case{"a clock put back an hour neither shortens nor reorders",
             threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {3, 'J'}, {5, 'r', "a"}, {6, 'f', "b"}, {7, 'f', "b"},
                         {9, 'r', "b"}}),
             {{2, 3, Scope::remote, {"a"}, Ending::reply}, {7 - 3600, 2, Scope::remote, {"b"}, Ending::reply}}}));

TEST_F(OutageLedgerSessionTest, TheFileGoesFirstExitEndsTheOpenIncidentAndWhatFollowsIsIgnored) {
    const Incident earlier{at(-100), Duration::seconds(9), Scope::local, {"z"}, Ending::reply};
    play(threeHosts({{1, 'f', "c"}, {2, 'f', "c"}, {3, 'r', "c"}}));
    const Incident finished{at(2), Duration::seconds(1), Scope::remote, {"c"}, Ending::reply};
    ledger.restore({earlier});
    EXPECT_EQ(ledger.history(), (std::vector<Incident>{earlier, finished}));
    EXPECT_EQ(ledger.takeFinished(), std::vector<Incident>{finished});

    play({{4, 'f', "a"}, {5, 'f', "a"}, {6, 'f', "b"}, {7, 'f', "b"}});
    moveTo(9);
    const std::optional<Incident> open = ledger.current();
    ASSERT_TRUE(open);
    EXPECT_EQ(*open, (Incident{at(5), Duration::seconds(4), Scope::remote, {"a", "b"}, Ending::none}));
    ledger.close();
    play({{10, 'f', "c"}, {11, 'f', "c"}, {12, '-', "a"}});
    EXPECT_EQ(ledger.takeFinished(),
              (std::vector<Incident>{{at(5), Duration::seconds(4), Scope::remote, {"a", "b"}, Ending::exit}}));
    EXPECT_FALSE(ledger.current());
}

TEST_F(OutageLedgerSessionTest, SessionTotalsCountFinishedIncidentsPerScopeAndOneResumePerWake) {
    const auto version = ledger.version();
    play(threeHosts({{1, 'f', "a"}, {2, 'f', "a"}, {4, 'r', "a"}, {5, 'f', "a"}, {6, 'f', "b"}, {6, 'f', "a"},
                     {6, 'f', "c"}, {7, 'f', "b"}, {7, 'f', "c"}, {17, 'r', "a"}, {17, 'r', "b"}, {17, 'r', "c"}}));
    EXPECT_NE(ledger.version(), version);
    EXPECT_TRUE(ledger.resume());
    EXPECT_FALSE(ledger.resume());
    play({{20, 'f', "a"}, {21, 'f', "a"}, {22, 'r', "a"}});
    const auto totals = ledger.sessionTotals();
    EXPECT_EQ(totals[static_cast<std::size_t>(Scope::local)].count, 1u);
    EXPECT_EQ(totals[static_cast<std::size_t>(Scope::local)].seconds, 11u);
    EXPECT_EQ(totals[static_cast<std::size_t>(Scope::remote)].count, 1u);
    EXPECT_EQ(totals[static_cast<std::size_t>(Scope::remote)].seconds, 2u);
    EXPECT_EQ(totals[static_cast<std::size_t>(Scope::wake)].count, 1u);
    ledger.suspend();
    EXPECT_TRUE(ledger.resume());
}

TEST(OutageNames, ReadBackWhatTheyWrite) {
    for (const Scope scope : {Scope::local, Scope::remote, Scope::wake})
        EXPECT_EQ(scopeByName(scopeName(scope)), scope);
    for (const Ending ending : {Ending::reply, Ending::suspend, Ending::exit, Ending::disabled})
        EXPECT_EQ(endingByName(endingName(ending)), ending);
    EXPECT_FALSE(endingByName(""));
    EXPECT_FALSE(scopeByName("Local"));
}

} // namespace
