// A data folder on a file system that runs full, or turns read-only, while
// rows are written: the store goes on, every row read back is one it wrote,
// and writing resumes once the fault has gone.

#include "app/data_file.h"

#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "app/sample_store.h"
#include "cpp/posix/mounts.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using cpp::Duration;
using cpp::FilePath;
using cpp::String;

namespace {

constexpr std::int64_t nine = 9 * 3600;

class MountedDataFolderTest : public cpp::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        mountPoint = at("data");
        ASSERT_EQ(cpp::File::createDirectory(mountPoint), cpp::File::Status::Success);
    }
    void TearDown() override {
        store.reset();
        writer.reset();
        EXPECT_TRUE(mount.unmount());
        TempFolderTest::TearDown();
    }

    // One sample a minute, each minute a retry delay after the one before.
    void minutes(std::int64_t& minute, int count) {
        for (int i = 0; i < count; ++i, ++minute) {
            clock->set(fromOrigin(minute * 60 + 5));
            clock->pass(MinuteWriter::retryDelay);
            store->addSample("h", 10);
        }
    }

    FilePath mountPoint;
    cpp::TestMount mount;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::optional<MinuteWriter> writer;
    std::optional<SampleStore> store;
};

TEST_F(MountedDataFolderTest, OnAFullDiskEveryRowReadBackIsWholeAndWritingResumesWithRoom) {
    // Two pages: one for a filler, one for the host's file.
    if (!mount.small(mountPoint, "8k"))
        GTEST_SKIP() << "no tmpfs can be mounted here (root only)";
    const FilePath filler(mountPoint, "filler");
    writeFile(filler, std::string(4096, 'f'));
    writer.emplace(clock, [this] { return mountPoint; });
    store.emplace(clock, [this] { return mountPoint; }, &*writer);
    std::int64_t minute = 9 * 60;
    // 36 bytes a row: the page runs full in the middle of the 114th.
    minutes(minute, 150);
    const std::int64_t roomAgain = minute;
    ASSERT_EQ(cpp::File::remove(filler), cpp::File::Status::Success);
    minutes(minute, 20);
    const std::string contents = readFile(store->dataFile("h"));
    store.reset();
    writer.reset();

    std::size_t whole = 0;
    std::size_t start = 0;
    while (start < contents.size()) {
        const std::size_t end = contents.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the file ends inside a row";
        const String line = contents.substr(start, end - start);
        start = end + 1;
        const auto row = parseDataRow(line);
        ASSERT_TRUE(row) << "a cut row is left: " << line;
        ++whole;
        const bool first = row->start == fromOrigin(9 * 3600 - 60);
        EXPECT_EQ(row->stats, first ? PingStats() : statsRow(1, 10, 10, 10)) << line;
    }
    // Rows before the file system ran full and from the minute after the
    // filler went, less the one lost at the retry.
    EXPECT_GE(whole, 113u + 18u);
    EXPECT_LT(whole, 150u + 20u);
    SampleStore reloaded(clock, [this] { return mountPoint; });
    reloaded.loadFile("h", reloaded.dataFile("h"));
    for (std::int64_t m = roomAgain + 1; m < minute - 1; ++m)
        EXPECT_EQ(reloaded.series(fromOrigin(m * 60), SampleStore::filePeriod, 1, "h").stats.at(0),
                  statsRow(1, 10, 10, 10))
            << m;
}

// An open file keeps its rights when its folder turns read-only, as on
// Windows; a host whose file is not open yet loses its rows until the first
// row a retry delay after the folder may be written again.
TEST_F(MountedDataFolderTest, AReadOnlyFolderStopsOnlyFilesThatAreNotOpenYet) {
    writer.emplace(clock, [this] { return mountPoint; });
    store.emplace(clock, [this] { return mountPoint; }, &*writer);
    const auto sample = [this](const String& host, std::int64_t second) {
        clock->set(fromOrigin(nine + second));
        store->addSample(host, 10);
    };
    sample("open", 5);
    if (!mount.readOnly(mountPoint))
        GTEST_SKIP() << "no read-only mount can be made here (root only)";
    sample("open", 65);
    sample("new", 66);
    clock->pass(Duration::seconds(30));
    ASSERT_TRUE(mount.unmount());
    sample("open", 125);
    sample("new", 126);
    clock->pass(MinuteWriter::retryDelay);
    sample("open", 185);
    sample("new", 186);
    const auto rows = [this](const String& host) { return String(readFile(store->dataFile(host))); };
    EXPECT_EQ(rows("open"), formatDataRow(fromOrigin(nine - 60), PingStats()) +
                                formatDataRow(fromOrigin(nine), statsRow(1, 10, 10, 10)) +
                                formatDataRow(fromOrigin(nine + 60), statsRow(1, 10, 10, 10)) +
                                formatDataRow(fromOrigin(nine + 120), statsRow(1, 10, 10, 10)));
    EXPECT_EQ(rows("new"), formatDataRow(fromOrigin(nine + 120), statsRow(1, 10, 10, 10)));
}

} // namespace
