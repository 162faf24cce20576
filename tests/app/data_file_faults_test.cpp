// Data files and data folders that things happen to from outside: hostile
// contents, a crash in the middle of a row, the folder deleted or replaced
// while rows are written. What the store answers afterwards is what counts.

#include "app/data_file.h"

#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "app/sample_store.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <optional>

using cpp::DateTime;
using cpp::Duration;
using cpp::File;
using cpp::FilePath;
using cpp::String;

namespace {

constexpr auto when = &fromOrigin;
constexpr std::int64_t nine = 9 * 3600;

class DataFileFaultsTest : public cpp::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        directory = at("data");
        clock->set(when(nine));
        writer.emplace(clock, [this] { return directory; });
        store.emplace(clock, [this] { return directory; }, &*writer);
    }
    void TearDown() override {
        store.reset();
        writer.reset();
        TempFolderTest::TearDown();
    }

    void sample(std::int64_t secondsFromOrigin, std::int32_t value) {
        clock->set(when(secondsFromOrigin));
        store->addSample("h", value);
    }
    PingStats minute(std::int64_t secondsFromOrigin) const {
        return store->series(when(secondsFromOrigin), SampleStore::filePeriod, 1, "h").stats.at(0);
    }
    static std::string row(std::int64_t secondsFromOrigin, const PingStats& stats) {
        return std::string(formatDataRow(when(secondsFromOrigin), stats));
    }
    static std::string date(std::int64_t secondsFromOrigin) {
        return std::string(cpp::Date(when(secondsFromOrigin)).format("%F %X"));
    }
    FilePath file() const { return store->dataFile("h"); }
    // Windows refuses to delete a folder that holds an open file; only a
    // process outside its rules (the Linux side under Wine) can.
    bool removeFolderFromOutside() const { return File::remove(directory) == File::Status::Success; }
    // A store started afresh on what the files hold now.
    void restart() {
        writer.emplace(clock, [this] { return directory; });
        store.emplace(clock, [this] { return directory; }, &*writer);
        store->loadFile("h", file());
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FilePath directory;
    std::optional<MinuteWriter> writer;
    std::optional<SampleStore> store;
};

TEST_F(DataFileFaultsTest, HostileLinesAreSkippedAndEveryWholeRowIsKept) {
    std::string contents;
    contents += row(nine + 120, statsRow(2, 10, 5, 15, 1, 0));
    contents += "garbage without a tab\n";
    contents += std::string("\0\x01\xff\xfe\t\t\t\t\t\t\0\n", 12);
    // A NUL inside the date, and a CRLF row.
    contents += std::string("2023-11-14 09:0\0:00\t9\t9\t9\t9\t0\t0\n", 32);
    std::string crlf = row(nine + 60, statsRow(4, 20, 10, 30, 0, 2));
    crlf.pop_back();
    crlf += "\r\n";
    contents += crlf;
    // A line of 100 MiB without a line feed for the whole of it.
    contents += std::string(100u << 20, 'x') + "\n";
    // Out of order: an earlier minute after later ones.
    contents += row(nine, statsRow(3, 7, 6, 8));
    // Dates far in the past and far in the future.
    contents += "1900-01-01 00:00:00\t5\t1\t1\t1\t0\t0\n";
    contents += "1601-01-01 00:00:00\t5\t1\t1\t1\t0\t0\n";
    contents += "9999-12-31 23:59:00\t5\t1\t1\t1\t0\t0\n";
    contents += "2999-06-01 12:00:00\t5\t1\t1\t1\t0\t0\n";
    const std::string whole = contents;
    // A crash in the middle of the last row.
    contents += date(nine + 180) + "\t6\t1";
    writeFile(file(), contents);

    store->loadFile("h", file());
    EXPECT_EQ(minute(nine), statsRow(3, 7, 6, 8));
    EXPECT_EQ(minute(nine + 60), statsRow(4, 20, 10, 30, 0, 2));
    EXPECT_EQ(minute(nine + 120), statsRow(2, 10, 5, 15, 1, 0));
    EXPECT_EQ(minute(nine + 180), PingStats());
    // Today's three rows, and nothing from the lines skipped.
    EXPECT_EQ(store->series(when(nine), Duration::hours(24), 1, "h").stats.at(0).count, 9);
    // Writing goes on after such a load, in place of the cut row.
    sample(nine + 250, 1);
    sample(nine + 310, 2);
    EXPECT_EQ(readFile(file(), 1u << 20), whole + row(nine + 180, PingStats()) + row(nine + 240, statsRow(1, 1, 1, 1)));
}

// A row cut in its last fields would read back as a row with other figures
// (drops 1 instead of 12, or no disconnects): the next row takes its place.
TEST_F(DataFileFaultsTest, ARowCutByACrashOrAFullDiskIsReplacedByTheNextRow) {
    const std::string first = row(nine, statsRow(3, 10, 5, 20, 12, 2));
    const std::string cutRow = row(nine + 60, statsRow(5, 1, 1, 1, 12, 2));
    for (const std::size_t cutAt : {cutRow.size() - 2, cutRow.size() - 3, cutRow.size() - 5, std::size_t{4}}) {
        SCOPED_TRACE(cutAt);
        writer.emplace(clock, [this] { return directory; });
        store.emplace(clock, [this] { return directory; }, &*writer);
        writeFile(file(), first + cutRow.substr(0, cutAt));
        sample(nine + 125, 4);
        sample(nine + 185, 6);
        EXPECT_EQ(String(readFile(file())), first + row(nine + 60, PingStats()) + row(nine + 120, statsRow(1, 4, 4, 4)));
        restart();
        EXPECT_EQ(minute(nine), statsRow(3, 10, 5, 20, 12, 2));
        EXPECT_EQ(minute(nine + 60), PingStats());
    }
    // A file that is one cut row is emptied first.
    writer.emplace(clock, [this] { return directory; });
    store.emplace(clock, [this] { return directory; }, &*writer);
    writeFile(file(), cutRow.substr(0, 30));
    sample(nine + 245, 7);
    EXPECT_EQ(String(readFile(file())), row(nine + 180, PingStats()));
    // A long unended line is not a row of ours: it is ended, not cut.
    writer.emplace(clock, [this] { return directory; });
    store.emplace(clock, [this] { return directory; }, &*writer);
    const std::string longLine(300, 'x');
    writeFile(file(), longLine);
    sample(nine + 305, 8);
    EXPECT_EQ(String(readFile(file())), longLine + "\n" + row(nine + 240, PingStats()));
}

TEST_F(DataFileFaultsTest, ADeletedFolderIsMadeAgainByTheNextRow) {
    sample(nine + 5, 1);
    sample(nine + 65, 2);
    ASSERT_TRUE(File::exists(file()));
    if (!removeFolderFromOutside())
        GTEST_SKIP() << "the system keeps the folder of an open file";
    sample(nine + 125, 3);
    ASSERT_TRUE(File::exists(file()));
    EXPECT_EQ(String(readFile(file())), row(nine + 60, statsRow(1, 2, 2, 2)));
    sample(nine + 185, 4);
    restart();
    EXPECT_EQ(minute(nine + 60), statsRow(1, 2, 2, 2));
    EXPECT_EQ(minute(nine + 120), statsRow(1, 3, 3, 3));
}

TEST_F(DataFileFaultsTest, AFolderReplacedByAFileLosesRowsOnlyUntilTheRetryAfterItGoes) {
    sample(nine + 5, 1);
    sample(nine + 65, 2);
    if (!removeFolderFromOutside())
        GTEST_SKIP() << "the system keeps the folder of an open file";
    writeFile(directory, "not a folder");
    sample(nine + 125, 3);
    sample(nine + 185, 4);
    clock->pass(Duration::seconds(30));
    ASSERT_EQ(File::remove(directory), File::Status::Success);
    // Gone, but the last failure was less than the retry delay ago.
    sample(nine + 245, 5);
    EXPECT_FALSE(File::exists(file()));
    clock->pass(MinuteWriter::retryDelay);
    sample(nine + 305, 6);
    sample(nine + 365, 7);
    EXPECT_EQ(String(readFile(file())), row(nine + 240, statsRow(1, 5, 5, 5)) + row(nine + 300, statsRow(1, 6, 6, 6)));
}

} // namespace
