// The store against the plain one of literal_store.h: random samples, rows
// and data files, every scale, per host and for all hosts, bucket for bucket.

#include "app/sample_store.h"

#include "app/data_file.h"
#include "app/literal_store.h"
#include "app/load_plan.h"
#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "cpp/bus.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <latch>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

using cpp::DateTime;
using cpp::Duration;
using cpp::String;

namespace {

constexpr auto when = &fromOrigin;
const std::vector<String> hosts{"a", "b", "c"};

class StoreOracleTest : public cpp::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        restart(1);
    }
    // Open files would keep Windows from deleting the folder.
    void TearDown() override {
        store.reset();
        writer.reset();
        TempFolderTest::TearDown();
    }

    // Both stores afresh, and the random numbers from seed.
    void restart(unsigned seed) {
        store.reset();
        writer.reset();
        clock->set(when(9 * 3600));
        writer.emplace(clock, [this] { return folder_; });
        store.emplace(clock, [this] { return folder_; }, &*writer);
        literal.emplace(store->startTime());
        random.seed(seed);
    }

    std::int64_t uniform(std::int64_t low, std::int64_t high) {
        return std::uniform_int_distribution<std::int64_t>(low, high)(random);
    }
    bool chance(double p) { return std::bernoulli_distribution(p)(random); }

    void sample(const String& name, const DateTime& time, std::int32_t value) {
        clock->set(time);
        const auto finished = store->addSample(name, value);
        const auto expected = literal->addSample(name, value, time);
        ASSERT_EQ(finished.has_value(), expected.has_value()) << name << " at " << time.sinceEpoch().count();
        if (finished) {
            EXPECT_EQ(finished->start, store->bucketStart(expected->minute, SampleStore::filePeriod));
            EXPECT_EQ(finished->stats, expected->stats);
        }
    }
    void merge(const String& name, const DateTime& time, const PingStats& stats) {
        store->mergeStats(name, time, stats);
        literal->mergeStats(name, time, stats);
    }

    // Every bucket of every scale from shortest on, from the one holding from
    // to the one holding to, of each host and of all hosts.
    void expectSame(const DateTime& from, const DateTime& to, const Duration& shortest = Duration()) {
        for (const Duration& scale : ScaleBuckets::scales()) {
            if (scale < shortest)
                continue;
            const auto length = static_cast<std::int64_t>(scale.count() / 1000000u);
            const auto count =
                static_cast<std::size_t>(store->bucketIndex(to, scale) - store->bucketIndex(from, scale) + 1);
            for (std::size_t h = 0; h <= hosts.size(); ++h) {
                const String* name = h < hosts.size() ? &hosts[h] : nullptr;
                const std::vector<PingStats> got =
                    (name ? store->series(to, scale, count, *name) : store->series(to, scale, count)).stats;
                const std::vector<PingStats> expected = literal->series(to, length, count, name);
                const auto [mine, theirs] = std::mismatch(got.begin(), got.end(), expected.begin());
                if (mine != got.end()) {
                    ADD_FAILURE() << "scale " << length << " s, " << (name ? *name : String("all hosts"))
                                  << ", bucket " << store->bucketIndex(to, scale) - static_cast<std::int64_t>(count) +
                                                        1 + (mine - got.begin())
                                  << ": " << ::testing::PrintToString(*mine)
                                  << " instead of " << ::testing::PrintToString(*theirs);
                    return;
                }
            }
        }
    }
    // Each time's neighbourhood on every scale.
    void expectSameAround(const std::set<std::uint64_t>& times) {
        for (const std::uint64_t seconds : times) {
            const DateTime time{Duration::seconds(seconds)};
            expectSame(time - Duration::seconds(std::min<std::uint64_t>(seconds, 90)), time + Duration::seconds(90));
        }
    }

    PingStats randomRow() {
        PingStats stats;
        stats.count = static_cast<std::int32_t>(chance(0.2) ? 0 : uniform(1, 60));
        stats.minimum = static_cast<std::int32_t>(uniform(0, 300));
        stats.maximum = stats.minimum + static_cast<std::int32_t>(uniform(0, 900));
        stats.average = (stats.minimum + stats.maximum) / 2;
        stats.drops = static_cast<std::int32_t>(uniform(0, 3));
        stats.disconnects = static_cast<std::int32_t>(uniform(0, 1));
        // Files may hold anything: figures too large for the compact form, or negative.
        if (chance(0.03))
            stats.maximum = static_cast<std::int32_t>(uniform(70000, 3000000));
        if (chance(0.02))
            stats.average = static_cast<std::int32_t>(uniform(-500, -1));
        return stats;
    }
    std::int32_t randomValue() {
        if (chance(0.85))
            return static_cast<std::int32_t>(chance(0.01) ? uniform(70000, 200000) : uniform(0, 400));
        return static_cast<std::int32_t>(chance(0.6) ? -1 : uniform(-6, -2));
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::optional<MinuteWriter> writer;
    std::optional<SampleStore> store;
    std::optional<LiteralStore> literal;
    std::mt19937 random;
};

TEST_F(StoreOracleTest, RandomSamplesAndRowsAnswerAsThePlainStore) {
    for (unsigned seed = 1; seed <= 2; ++seed) {
        SCOPED_TRACE(seed);
        restart(seed);
        std::int64_t now = 9 * 3600;
        std::int64_t earliest = now;
        std::int64_t latest = now;
        std::set<std::uint64_t> far;
        for (int i = 0; i < 5000; ++i) {
            const String& name = hosts[static_cast<std::size_t>(uniform(0, 2))];
            const double roll = std::uniform_real_distribution<double>(0, 1)(random);
            if (roll < 0.80) {
                now += std::vector<std::int64_t>{0, 0, 1, 1, 1, 2, 3}[static_cast<std::size_t>(uniform(0, 6))];
                sample(name, when(now), randomValue());
            } else if (roll < 0.83) {
                // The clock set back.
                now -= uniform(1, 150);
                sample(name, when(now), randomValue());
            } else if (roll < 0.835) {
                now += uniform(60, 1800);
            } else if (roll < 0.89) {
                // A row of the last two hours: mostly on a minute, duplicates
                // and a restart's minute among them.
                std::int64_t time = now - uniform(0, 7200);
                if (chance(0.7))
                    time -= ((time % 60) + 60) % 60;
                merge(name, when(time), randomRow());
                earliest = std::min(earliest, time);
            } else if (roll < 0.90) {
                const std::int64_t time = -uniform(86400, 400 * 86400);
                merge(name, when(time), randomRow());
                far.insert(when(time).sinceEpoch().count() / 1000000u);
            } else if (roll < 0.905) {
                store->removeData(name);
                literal->removeData(name);
            } else {
                // Several samples in one second, as all hosts get them.
                for (const String& other : hosts)
                    sample(other, when(now), randomValue());
            }
            earliest = std::min(earliest, now);
            latest = std::max(latest, now);
        }
        expectSame(when(earliest), when(latest));
        expectSameAround(far);
        for (const String& name : hosts) {
            // The export lists the same minutes.
            const cpp::FilePath table = at(String("%.table", name));
            store->exportHost(name, table);
            String expected = String(exportHeader) + exportRule;
            for (const auto& [minute, stats] : literal->minutes(name))
                expected += formatExportRow(store->bucketStart(minute, SampleStore::filePeriod), stats);
            EXPECT_EQ(String(readFile(table)), expected) << name;
        }
    }
}

TEST_F(StoreOracleTest, DaysOfSecondsWithBurstsGapsRestartsAndRowsAnswerAsThePlainStore) {
    // Three parts of six hours of seconds, the program restarting after
    // each and loading the files the part before wrote. Host c has bursts of
    // four samples a second, so that its minutes and those of all hosts go
    // cold with their short buckets beside them; rows go into minutes of the
    // live day, cold ones among them.
    std::int64_t now = 9 * 3600;
    for (int part = 0; part < 3; ++part) {
        SCOPED_TRACE(part);
        const std::int64_t begin = now;
        const std::int64_t end = now + 6 * 3600;
        while (now < end) {
            ++now;
            sample("a", when(now), randomValue());
            if (now % 3 == 0)
                sample("b", when(now), randomValue());
            for (int burst = (now / 60) % 40 < 3 ? 4 : 0; burst > 0; --burst)
                sample("c", when(now), randomValue());
            const double roll = std::uniform_real_distribution<double>(0, 1)(random);
            const String& name = hosts[static_cast<std::size_t>(uniform(0, 2))];
            if (roll < 0.0003) {
                now += uniform(61, 3 * 3600);
            } else if (roll < 0.0008) {
                now -= uniform(1, 150);
            } else if (roll < 0.004) {
                std::int64_t time = now - uniform(0, 4 * 3600);
                if (chance(0.7))
                    time -= ((time % 60) + 60) % 60;
                merge(name, when(time), randomRow());
            } else if (roll < 0.00405) {
                store->removeData(name);
                literal->removeData(name);
            }
        }
        expectSame(when(begin - 600), when(now + 60));
        store.reset();
        writer.reset();
        writer.emplace(clock, [this] { return folder_; });
        store.emplace(clock, [this] { return folder_; }, &*writer);
        literal.emplace(store->startTime());
        for (const String& name : hosts) {
            store->loadFile(name, store->dataFile(name));
            literalLoadFile(*literal, name, store->dataFile(name));
        }
        expectSame(when(begin - 600), when(now + 60));
    }
}

TEST_F(StoreOracleTest, RowsThatCancelOutThenASampleInTheirMinute) {
    // A file's negative count takes the replies back but leaves the extremes.
    merge("a", when(600), statsRow(5, 10, 3, 20, 1, 0));
    merge("a", when(600), statsRow(-5, 1, 1, 1, 0, 1));
    sample("a", when(630), 40);
    merge("a", when(605), statsRow(2, 7, 7, 7));
    expectSame(when(540), when(720));
}

// Lines of a data file as they come: rows in and out of order, repeated,
// from long ago, in odd forms, and lines that are no rows at all.
class RowFile {
public:
    explicit RowFile(std::mt19937& random) : random_(random) {}

    String line(std::int64_t second) {
        String date = cpp::Date(when(second)).format("%F %X");
        switch (pick(40)) {
        case 0: date = "1970-01-01 00:00:00"; break;
        case 1: date = "1969-12-31 23:59:59"; break;
        case 2: date = "0000-01-01 00:00:00"; break;
        case 3: date = "2023-13-45 24:61:99"; break;
        case 4: date = "2023-02-29 10:00:00"; break;
        case 5: date = "2023-11-13 00:00:00"; break;
        case 6: date = " " + date; break;
        case 7: date = date.substr(0, 5) + date.substr(6); break;
        case 8: date[pick(date.size())] = static_cast<char>(pick(256)); break;
        default: break;
        }
        String text = date;
        for (int field = 0; field < 5; ++field)
            text += "\t" + number();
        switch (pick(12)) {
        case 0: break;                               // six fields
        case 1: text += "\tx"; break;                // no number
        case 2: text += "\t" + number() + "\textra\t9"; break;
        case 3: text += "\t"; break;                 // empty seventh field
        case 4: text += "\t\t" + number(); break;    // blank before the number
        case 5: text = text.substr(0, text.rfind('\t')); break; // five fields
        case 6: text += "\t1\r2"; break;             // a line break inside
        default: text += "\t" + number(); break;
        }
        return text;
    }

    String number() {
        switch (pick(30)) {
        case 0: return "-";
        case 1: return "";
        case 2: return " 5";
        case 3: return "+7";
        case 4: return "-12";
        case 5: return "7x";
        case 6: return "5000000000";   // beyond 32 bits: wraps as the cast does
        case 7: return "-9223372036854775808";
        case 8: return "0x10";
        case 10: return String(std::string(1, "\v\f\n\r\t "[pick(6)])) + String("%", pick(99));
        case 11: return String(std::string("4\0" "7", 3));
        case 9: return String("%", pick(200000));
        // Around the longest run of digits that cannot leave 64 bits.
        case 12: return "999999999999999999";
        case 13: return "9223372036854775807";
        case 14: return "0000000000000000000042";
        default: return String("%", pick(120));
        }
    }

    // Bytes of every kind, tabs among them.
    String garbage() {
        String text;
        const std::size_t length = pick(40);
        for (std::size_t i = 0; i < length; ++i)
            text += pick(4) == 0 ? '\t' : static_cast<char>(pick(256));
        return text;
    }

    std::size_t pick(std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
    }

private:
    std::mt19937& random_;
};

TEST_F(StoreOracleTest, RandomLinesReadAsThePatternsReadThem) {
    RowFile file(random);
    DataRowReader reader;
    for (int i = 0; i < 6000; ++i) {
        const String line = file.pick(5) == 0 ? file.garbage() : file.line(9 * 3600 + static_cast<std::int64_t>(i) * 37);
        std::optional<DataRow> got;
        std::optional<LiteralRow> expected;
        bool threw = false;
        bool expectedThrew = false;
        try {
            got = reader.read(line.span());
        } catch (const cpp::Exception&) {
            threw = true;
        }
        try {
            expected = literalParseRow(line);
        } catch (const cpp::Exception&) {
            expectedThrew = true;
        }
        ASSERT_EQ(threw, expectedThrew) << line;
        ASSERT_EQ(got.has_value(), expected.has_value()) << line;
        if (got) {
            ASSERT_EQ(got->start, expected->start) << line;
            ASSERT_EQ(got->stats, expected->stats) << line;
        }
    }
    EXPECT_THROW(reader.read(String("2024-03-01 14:05:00\t1\t1\t1\t1\t0\t99999999999999999999").span()),
                 cpp::Exception);
}

TEST_F(StoreOracleTest, RandomDataFilesLoadAsThePlainStoreLoadsThem) {
    for (unsigned seed = 1; seed <= 2; ++seed) {
        SCOPED_TRACE(seed);
        restart(seed);
        RowFile file(random);
        std::set<std::uint64_t> times;
        std::int64_t minute = 7 * 3600;
        std::string text;
        for (int i = 0; i < 2000; ++i) {
            const std::size_t kind = file.pick(20);
            std::int64_t second = minute;
            if (kind == 0)
                second -= 60 * static_cast<std::int64_t>(file.pick(300)); // out of order
            else if (kind == 1)
                second += static_cast<std::int64_t>(file.pick(60));     // within the minute
            else if (kind == 2)
                second = -86400 * static_cast<std::int64_t>(1 + file.pick(900)); // far back
            else if (kind >= 5)
                minute += 60 * static_cast<std::int64_t>(1 + (file.pick(10) == 0 ? file.pick(50) : 0));
            const String line = kind == 3 ? file.garbage() : file.line(second);
            text += line;
            // Repeated rows, and line ends of both kinds.
            if (kind == 4)
                text += "\n" + line;
            text += file.pick(3) == 0 ? "\r\n" : "\n";
            // The neighbourhoods of some rows, besides the run of minutes.
            if (file.pick(8) == 0) {
                if (const auto row = literalParseRow(line))
                    times.insert(row->start.sinceEpoch().count() / 1000000u);
            }
        }
        // A number beyond 64 bits makes its line no row; the rows after it load.
        if (seed == 2)
            text += "2023-11-14 09:00:00\t1\t1\t1\t99999999999999999999\t0\t0\n" + file.line(minute) + "\n";
        writeFile(at("h.txt"), text);
        store->loadFile("a", at("h.txt"));
        literalLoadFile(*literal, "a", at("h.txt"));
        store->loadFile("b", at("h.txt"));
        literalLoadFile(*literal, "b", at("h.txt"));

        // The program restarts within the minute of the last row, and within
        // minutes that rows filled earlier.
        for (std::int64_t second : {minute + 20, minute + 21, minute + 80, minute - 3 * 3600 + 5, minute + 200})
            sample("a", when(second), 17);
        // Under a minute, the rows' neighbourhoods below say enough.
        expectSame(when(7 * 3600 - 300 * 60), when(minute + 300), Duration::minutes(1));
        expectSame(when(minute - 3 * 3600), when(minute - 3 * 3600 + 60));
        expectSame(when(minute - 60), when(minute + 300));
        expectSameAround(times);
    }
}

} // namespace

namespace {

// Runs until every task posted to bus before it has ended: a task for each
// worker, each waiting until the others run too.
void drain(const cpp::Bus& bus, std::ptrdiff_t workers) {
    const auto running = std::make_shared<std::latch>(workers);
    const auto done = std::make_shared<std::latch>(workers);
    for (std::ptrdiff_t i = 0; i < workers; ++i)
        bus.postWork([running, done] {
            running->arrive_and_wait();
            done->count_down();
        });
    done->wait();
}

TEST_F(StoreOracleTest, MonthsOfRowsLoadNewestDaysFirstAsThePlainStoreLoadsThemInOrder) {
    // Two hundred days of a row every ten minutes, out of order within a day,
    // repeated, between lines that are no rows and one with a number beyond
    // 64 bits. Each host's parts load on two workers at once; the hosts one
    // after the other, as the buckets of all hosts take the rows of two at
    // once in any order.
    RowFile file(random);
    std::string text;
    constexpr std::int64_t firstDay = -200;
    for (std::int64_t day = firstDay; day <= 0; ++day) {
        std::vector<String> lines;
        for (std::int64_t slot = 0; slot < 144; ++slot) {
            const std::int64_t second = day * 86400 + slot * 600 + (file.pick(4) == 0 ? file.pick(60) : 0);
            lines.push_back(formatDataRow(when(second), randomRow()));
            lines.back().pop_back();
            if (file.pick(30) == 0)
                std::swap(lines.back(), lines[lines.size() - 1 - file.pick(lines.size())]);
            if (file.pick(40) == 0)
                lines.push_back(file.pick(2) == 0 ? file.garbage() : lines.back());
        }
        if (day == firstDay + 50)
            lines.push_back(lines.back().substr(0, 20) + "1\t1\t1\t99999999999999999999\t0\t0");
        for (const String& line : lines)
            text += line + (file.pick(3) == 0 ? "\r\n" : "\n");
    }
    for (const String& name : {String("a"), String("b")})
        writeFile(store->dataFile(name), text);

    const std::vector<FilePart> parts = load_plan::partsOf(store->dataFile("a"), store->startTime());
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].end, FilePart().end);
    EXPECT_EQ(parts[1].end, parts[0].begin);
    EXPECT_EQ(parts[2].end, parts[1].begin);
    EXPECT_EQ(parts[2].begin, 0u);
    // Each part begins with its first day's first row.
    for (const std::int64_t day : {-load_plan::recentDays + 1, -load_plan::recentDays - load_plan::olderDays + 1}) {
        const std::uint64_t begin = parts[day == -load_plan::recentDays + 1 ? 0 : 1].begin;
        EXPECT_EQ(text.substr(begin, 10), std::string(cpp::Date(when(day * 86400)).format("%F")));
        EXPECT_NE(text.substr(begin - 12, 10), text.substr(begin, 10));
    }

    const cpp::Bus bus = cpp::Bus::create(2, "loaders");
    for (const String& name : {String("a"), String("b")}) {
        store->loadHosts({name}, bus);
        drain(bus, 2);
        literalLoadFile(*literal, name, store->dataFile(name));
    }
    expectSame(when(firstDay * 86400), when(86400), Duration::minutes(1));
    expectSame(when(-40 * 86400), when(-30 * 86400));
    EXPECT_EQ(store->earliest(), when(firstDay * 86400));

    // A row of the first day at the end puts the file out of order: it loads
    // in one part, in order.
    restart(3);
    text += formatDataRow(when(firstDay * 86400 + 30), randomRow());
    writeFile(store->dataFile("a"), text);
    EXPECT_EQ(load_plan::partsOf(store->dataFile("a"), store->startTime()), std::vector<FilePart>{FilePart{}});
    store->loadHosts({"a"}, bus);
    drain(bus, 2);
    literalLoadFile(*literal, "a", store->dataFile("a"));
    expectSame(when(firstDay * 86400), when(86400), Duration::minutes(1));
}

} // namespace

namespace {

TEST_F(StoreOracleTest, TheLoadPlanSeesEveryRowTheLoaderReadsWhateverSurroundsIt) {
    // A hundred days of a row every five minutes, 1 MiB, with lines that are no rows:
    // NULs and carriage returns alone; then the hostile line of each case
    // placed where one of the file reads ends, across it, and a
    // last row without a line feed.
    const auto row = [this](std::int64_t second) {
        String line = formatDataRow(when(second), randomRow());
        line.pop_back();
        return std::string(line);
    };
    std::string rows;
    for (std::int64_t minute = -100 * 1440; minute < 0; minute += 5) {
        rows += row(minute * 60) + "\n";
        if (minute == -90 * 1440)
            rows += std::string("\0\t\0", 3) + "\r\n\r\n" + std::string(3000, 'x') + "\n";
    }
    const std::string old = row(-99 * 86400);
    const struct {
        const char* what;
        std::string hostile;
        // Of the hostile line before the end of a read.
        std::size_t inFirstRead;
        std::size_t parts;
    } cases[] = {
        {"a row of a recent day", row(-5 * 86400) + "\n", 10, 2},
        {"an old row after carriage returns", "\r\r" + old + "\n", 10, 1},
        {"an old row, its date in two reads", old + "\r\n", 10, 1},
        {"an old row, its date in one read and the rest in the next", old + "\n", 30, 1},
        {"an old row cut by a NUL", old.substr(0, 20) + std::string(1, '\0') + "\n", 10, 1},
    };
    const cpp::Bus bus = cpp::Bus::create(2, "loaders");
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        restart(4);
        // A line of its own fills up to the hostile line's place.
        const std::size_t place = 3 * 262144 - each.inFirstRead;
        const std::size_t lineStart = rows.rfind('\n', place - 40) + 1;
        const std::string filler(place - lineStart - 1, 'z');
        writeFile(store->dataFile("a"), rows.substr(0, lineStart) + filler + "\n" + each.hostile +
                                            rows.substr(lineStart) + row(60));
        EXPECT_EQ(load_plan::partsOf(store->dataFile("a"), store->startTime()).size(), each.parts);
        store->loadHosts({"a"}, bus);
        drain(bus, 2);
        literalLoadFile(*literal, "a", store->dataFile("a"));
        expectSame(when(-100 * 86400), when(120), Duration::minutes(5));
    }
}

} // namespace
