// A data folder on a file system that runs full while rows are written:
// the store goes on, every row read back is one it wrote, and writing
// resumes once there is room again.

#include "app/data_file.h"

#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "app/sample_store.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <sys/mount.h>

using cpp::Duration;
using cpp::FilePath;
using cpp::String;

namespace {

class DiskFullTest : public cpp::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        mountPoint = at("small");
        ASSERT_EQ(cpp::File::createDirectory(mountPoint), cpp::File::Status::Success);
        // Two pages: one for a filler, one for the host's file.
        if (::mount("tarnlet-test", mountPoint.text().c_str(), "tmpfs", 0, "size=8k") != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here (root only)";
        mounted = true;
    }
    void TearDown() override {
        store.reset();
        if (mounted) {
            EXPECT_EQ(::umount(mountPoint.text().c_str()), 0);
        }
        TempFolderTest::TearDown();
    }

    // One sample a minute, each minute a retry delay after the one before.
    void minutes(std::int64_t& minute, int count) {
        for (int i = 0; i < count; ++i, ++minute) {
            clock->set(fromOrigin(minute * 60 + 5));
            clock->pass(SampleStore::retryDelay);
            store->addSample("h", 10);
        }
    }

    FilePath mountPoint;
    bool mounted = false;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::optional<SampleStore> store;
};

TEST_F(DiskFullTest, EveryRowReadBackIsWholeAndWritingResumesWithRoom) {
    const FilePath filler(mountPoint, "filler");
    writeFile(filler, std::string(4096, 'f'));
    store.emplace(clock, [this] { return mountPoint; });
    std::int64_t minute = 9 * 60;
    // 36 bytes a row: the page runs full in the middle of the 114th.
    minutes(minute, 150);
    const std::int64_t roomAgain = minute;
    ASSERT_EQ(cpp::File::remove(filler), cpp::File::Status::Success);
    minutes(minute, 20);
    const std::string contents = readFile(store->dataFile("h"));
    store.reset();

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

} // namespace
