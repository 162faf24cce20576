#include "app/data_file.h"

#include "app/literal_store.h"

#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "app/sample_store.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <unistd.h>

using cpp::DateTime;
using cpp::Duration;
using cpp::String;

namespace {

// Another time zone for the duration of a test.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

TEST(DataRowPosix, RowsOfEitherHalfOfTheYearReadBackInTheirOwnOffset) {
    const ZoneScope zone("Europe/Berlin");
    // Summer time is +2 h, winter time +1 h, whatever holds today.
    EXPECT_EQ(parseDataRow("2024-07-01 12:00:00\t1\t1\t1\t1\t0\t0").value().start, DateTime(Duration::seconds(1719828000)));
    EXPECT_EQ(parseDataRow("2024-01-15 12:00:00\t1\t1\t1\t1\t0\t0").value().start, DateTime(Duration::seconds(1705316400)));
    for (const std::uint64_t seconds : {1719828000u, 1705316400u}) {
        const DateTime time{Duration::seconds(seconds)};
        String line = formatDataRow(time, PingStats());
        line.pop_back();
        EXPECT_EQ(parseDataRow(line).value().start, time);
    }
}

TEST(DataRowPosix, EveryMinuteOfTheDaysTheClockChangesReadsAsMktimeHasIt) {
    // Summer time an hour ahead, and one of half an hour.
    for (const char* name : {"Europe/Berlin", "Australia/Lord_Howe"}) {
        const ZoneScope zone(name);
        DataRowReader reader;
        for (const char* day : {"2024-03-30", "2024-03-31", "2024-04-07", "2024-10-06", "2024-10-27", "2024-10-28"}) {
            // Every minute of the small hours, when the clocks change.
            for (int minute = 0; minute < 1440; minute += minute < 300 ? 1 : 17) {
                char line[64];
                std::snprintf(line, sizeof line, "%s %02d:%02d:%02d\t1\t1\t1\t1\t0\t0", day, minute / 60, minute % 60,
                              minute % 7);
                ASSERT_EQ(reader.read(line).value().start, literalParseRow(line).value().start) << name << " " << line;
            }
        }
    }
}

constexpr std::uint64_t nineOclock = originSeconds + 9 * 3600;
class DataFileWriteTest : public cpp::TempFolderTest {};

TEST_F(DataFileWriteTest, AFailedWriteLetsTheFileOpenAgainAfterTheRetryDelay) {
    auto clock = std::make_shared<ManualClock>();
    clock->set(fromOrigin(9 * 3600));
    MinuteWriter writer(clock, [this] { return folder_; });
    SampleStore store(clock, [this] { return folder_; }, &writer);
    const cpp::FilePath file = store.dataFile("h");
    // Every write to the device fails for want of space.
    ASSERT_EQ(::symlink("/dev/full", file.text().c_str()), 0);
    store.addSample("h", 1);
    ASSERT_EQ(::unlink(file.text().c_str()), 0);

    clock->set(fromOrigin(9 * 3600 + 60));
    store.addSample("h", 2);
    EXPECT_FALSE(cpp::File::exists(file));
    clock->pass(MinuteWriter::retryDelay);
    clock->set(fromOrigin(9 * 3600 + 120));
    store.addSample("h", 3);
    EXPECT_EQ(String(readFile(file)), formatDataRow(DateTime(Duration::seconds(nineOclock + 60)), statsRow(1, 2, 2, 2)));
}

} // namespace
