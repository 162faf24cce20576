#include "app/data_file.h"

#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "app/sample_store.h"
#include "cpp/temp_folder.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

using cpp::DateTime;
using cpp::Duration;
using cpp::File;
using cpp::FilePath;
using cpp::String;

namespace {

constexpr auto when = &fromOrigin;

String dateText(const DateTime& time) {
    return cpp::Date(time).format("%F %X");
}

TEST(DataFileName, PlainHostNamesKeepTheirFileName) {
    for (const char* host : {"8.8.8.8", "example.com", "my-host_1", "2001-db8--1.ipv6-literal.net", "conference"})
        EXPECT_EQ(dataFileName(host), String(host) + ".txt");
}

TEST(DataFileName, UnsafeNamesEscapeReversiblyIntoPlainNames) {
    const char* const hosts[] = {"../evil", "a/b", "a\\b", "::1", "fe80::1%eth0", "a*b?c", "\"q\"<x>|y", "tab\there",
                                 ".", "..", "host.", "host ", "CON", "nul", "com1", "LPT9", "aux.example.com", "Prn ",
                                 "a%2Fb", "a/b%"};
    std::set<String> files;
    for (const char* host : hosts) {
        SCOPED_TRACE(host);
        const String file = dataFileName(host);
        EXPECT_TRUE(files.insert(file).second) << file;
        EXPECT_EQ(hostOfDataFile(file), host);
        const String base = file.substr(0, file.size() - 4);
        EXPECT_EQ(base.find_first_of("/\\:*?\"<>|\t"), String::npos) << file;
        EXPECT_NE(base.back(), '.');
        EXPECT_NE(base.back(), ' ');
        EXPECT_TRUE(file.ends_with(".txt"));
    }
    EXPECT_EQ(dataFileName("CON"), "%43ON.txt");
    EXPECT_EQ(dataFileName("com10"), "com10.txt");
}

TEST(DataRow, WritesSevenTabSeparatedFieldsMinimumBeforeMaximum) {
    PingStats stats = statsRow(58, 23, 12, 61, 1, 0);
    stats.last = 99;
    EXPECT_EQ(formatDataRow(when(14 * 3600 + 300), stats), dateText(when(14 * 3600 + 300)) + "\t58\t23\t12\t61\t1\t0\n");
    EXPECT_EQ(formatDataRow(when(0), PingStats()), dateText(when(0)) + "\t0\t0\t0\t0\t0\t0\n");

    const auto row = parseDataRow(dateText(when(14 * 3600 + 300)) + "\t58\t23\t12\t61\t1\t3");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->start, when(14 * 3600 + 300));
    EXPECT_EQ(row->stats, statsRow(58, 23, 12, 61, 1, 3));
}

TEST(ExportRow, RightAlignsSixNumbersInFourColumnsOrMore) {
    EXPECT_EQ(formatExportRow(when(60), statsRow(58, 23, 12, 61, 1, 0)),
              dateText(when(60)) + "\t  58   23   12   61    1    0\n");
    EXPECT_EQ(formatExportRow(when(60), statsRow(12345, 5, 1, 9, 0, 0)),
              dateText(when(60)) + "\t12345    5    1    9    0    0\n");
    EXPECT_EQ(String(exportHeader), "date               \tcnt  avg  min  max  drop dis \n");
    EXPECT_EQ(String(exportRule), "-------------------\t---- ---- ---- ---- ---- ----\n");
}

class DataFileTest : public cpp::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        clock->set(when(9 * 3600));
        writer.emplace(clock, [this] { return directory; });
        store.emplace(clock, [this] { return directory; }, &*writer);
        directory = folder_;
    }
    // Open files would keep Windows from deleting the folder.
    void TearDown() override {
        store.reset();
        writer.reset();
        TempFolderTest::TearDown();
    }

    void sample(std::int64_t secondsFromOrigin, const String& name, std::int32_t value) {
        clock->set(when(secondsFromOrigin));
        store->addSample(name, value);
    }
    PingStats minute(const DateTime& time, const String& name) const {
        return store->series(time, SampleStore::filePeriod, 1, name).stats.at(0);
    }
    String row(std::int64_t secondsFromOrigin, const PingStats& stats) const {
        return formatDataRow(when(secondsFromOrigin), stats);
    }
    String fileOf(const String& name) const { return String(readFile(store->dataFile(name))); }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FilePath directory;
    std::optional<MinuteWriter> writer;
    std::optional<SampleStore> store;
};

constexpr std::int64_t nine = 9 * 3600;

TEST_F(DataFileTest, TheFirstSampleOfANewMinuteWritesThePreviousMinuteOnce) {
    // The minute before a host's first sample had none.
    sample(nine + 5, "h", 10);
    sample(nine + 30, "h", -1);
    EXPECT_EQ(fileOf("h"), row(nine - 60, PingStats()));
    sample(nine + 60, "h", 20);
    sample(nine + 70, "h", 30);
    sample(nine + 120, "h", 5);
    const String written =
        row(nine - 60, PingStats()) + row(nine, statsRow(1, 10, 10, 10, 1, 0)) + row(nine + 60, statsRow(2, 25, 20, 30));
    EXPECT_EQ(fileOf("h"), written);
    EXPECT_EQ(store->dataFile("h"), FilePath(folder_, "h.txt"));

    // A gap closes the minute before it; the silent one before the new
    // minute is zeros.
    sample(nine + 240, "h", 5);
    const String afterGap = written + row(nine + 120, statsRow(1, 5, 5, 5)) + row(nine + 180, PingStats());
    EXPECT_EQ(fileOf("h"), afterGap);
    // A gap of hours, as after a stalled ping or a sleeping machine, too.
    sample(nine + 3 * 3600, "h", 6);
    EXPECT_EQ(fileOf("h"), afterGap + row(nine + 240, statsRow(1, 5, 5, 5)) + row(nine + 3 * 3600 - 60, PingStats()));
}

TEST_F(DataFileTest, UnsafeHostNamesStayInsideTheDataDirectory) {
    for (const char* host : {"../escape", "CON", "a:b"}) {
        sample(nine, host, 1);
        sample(nine + 60, host, 1);
        const FilePath inside(folder_, dataFileName(host));
        EXPECT_TRUE(File::exists(inside)) << host;
        EXPECT_EQ(String(readFile(inside)), row(nine - 60, PingStats()) + row(nine, statsRow(1, 1, 1, 1))) << host;
    }
    EXPECT_EQ(File::list(folder_).size(), 3u);
}

TEST_F(DataFileTest, AFailedOpenWaitsTheRetryDelayBeforeTheNextOpen) {
    // A file where the folder should be: nothing can be created below it.
    writeFile(at("blocked"), "x");
    directory = at("blocked");
    sample(nine, "a", 1);
    sample(nine + 60, "a", 2);
    directory = folder_;
    sample(nine + 120, "b", 3);
    sample(nine + 180, "b", 4);
    EXPECT_FALSE(File::exists(store->dataFile("b")));
    clock->pass(Duration::seconds(59));
    sample(nine + 240, "b", 5);
    EXPECT_FALSE(File::exists(store->dataFile("b")));
    clock->pass(Duration::seconds(1));
    sample(nine + 300, "b", 6);
    EXPECT_EQ(fileOf("b"), row(nine + 240, statsRow(1, 5, 5, 5)));
    directory = at("blocked");
    sample(nine + 300, "c", 1);
    directory = folder_;
    // An open file goes on regardless of later failures elsewhere.
    sample(nine + 360, "b", 7);
    sample(nine + 370, "d", 1);
    EXPECT_FALSE(File::exists(store->dataFile("d")));
    EXPECT_EQ(fileOf("b"), row(nine + 240, statsRow(1, 5, 5, 5)) + row(nine + 300, statsRow(1, 6, 6, 6)));
}

TEST_F(DataFileTest, RemoveDataClosesAndDeletesTheFileAndStartsAfresh) {
    sample(nine, "h", 1);
    sample(nine + 60, "h", 2);
    ASSERT_TRUE(File::exists(store->dataFile("h")));
    store->removeData("h");
    EXPECT_FALSE(File::exists(store->dataFile("h")));
    EXPECT_EQ(minute(when(nine + 60), "h"), PingStats());
    sample(nine + 120, "h", 3);
    sample(nine + 180, "h", 4);
    EXPECT_EQ(fileOf("h"), row(nine + 60, PingStats()) + row(nine + 120, statsRow(1, 3, 3, 3)));

    // Without a file, the buckets still go.
    sample(nine + 190, "other", 9);
    store->removeData("other");
    EXPECT_EQ(minute(when(nine + 180), "other"), PingStats());
    store->removeData("never");
}

// How rows of every form merge is held against the plain store in
// store_oracle_test; here what only the real files show.
TEST_F(DataFileTest, LoadingMovesEarliestBackAndAMissingFileMergesNothing) {
    const std::int64_t dayBefore = -86400 + 3600;
    writeFile(at("h.txt"), std::string(row(nine, statsRow(2, 10, 5, 15)) + row(dayBefore, statsRow(4, 20, 10, 30))));
    store->loadFile("h", at("h.txt"));
    EXPECT_EQ(minute(when(dayBefore), "h"), statsRow(4, 20, 10, 30));
    EXPECT_EQ(store->earliest(), when(dayBefore));
    store->loadFile("none", at("none.txt"));
    EXPECT_EQ(minute(when(nine), "none"), PingStats());
}

TEST_F(DataFileTest, AnInterruptedWorkerStopsLoadingBeforeTheNextLine) {
    writeFile(at("h.txt"), std::string(row(nine, statsRow(1, 1, 1, 1))));
    cpp::Thread worker([this] {
        cpp::Thread::current()->interrupt();
        store->loadFile("h", at("h.txt"));
    });
    worker.join();
    EXPECT_EQ(minute(when(nine), "h"), PingStats());
}

TEST_F(DataFileTest, ExportWritesTheHeadingsAndEveryMinuteOldestFirst) {
    writeFile(store->dataFile("h"), std::string(row(nine - 60, statsRow(12345, 5, 1, 9, 0, 2))));
    store->loadFile("h", store->dataFile("h"));
    sample(nine + 10, "h", 23);
    sample(nine + 70, "other", 1);
    const FilePath target = at("out/deeper/h.txt");
    store->exportHost("h", target);
    const String expected = String(exportHeader) + exportRule + dateText(when(nine - 60)) +
                            "\t12345    5    1    9    0    2\n" + dateText(when(nine)) +
                            "\t   1   23   23   23    0    0\n";
    EXPECT_EQ(String(readFile(target)), expected);

    // Over a longer file, then for a host without data.
    writeFile(at("long.txt"), std::string(4000, 'z'));
    store->exportHost("h", at("long.txt"));
    EXPECT_EQ(String(readFile(at("long.txt"))), expected);
    store->exportHost("nobody", at("long.txt"));
    EXPECT_EQ(String(readFile(at("long.txt"))), String(exportHeader) + exportRule);

    // A target that cannot be opened is only logged.
    store->exportHost("h", at("long.txt/below"));
}

} // namespace
