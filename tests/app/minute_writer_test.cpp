#include "app/minute_writer.h"

#include "app/manual_clock.h"
#include "app/sample_store.h"
#include "cpp/file.h"
#include "cpp/temp_folder.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

using cpp::FilePath;

namespace {

// A data folder that the test can make slow: while held, asking for it
// blocks, as a disk that has stopped answering would.
class HeldFolder {
public:
    explicit HeldFolder(FilePath path) : path_(std::move(path)) {}

    FilePath operator()() {
        std::unique_lock lock(mutex_);
        stalled_ = held_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        return path_;
    }
    void hold() {
        std::lock_guard lock(mutex_);
        held_ = true;
        stalled_ = false;
    }
    void release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    // Waits until a writer is stuck asking for the held folder.
    void awaitStalled() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stalled_; });
    }

private:
    const FilePath path_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool stalled_ = false;
};

// A store whose writer's folder the test can stall, with a first minute that
// the next sample will close.
class MinuteWriterTest : public cpp::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        held.emplace(folder_);
        writer.emplace(clock, [this] { return (*held)(); });
        store.emplace(clock, [this] { return folder_; }, &*writer);
        clock->set(fromOrigin(10));
        store->addSample("h", 12);
    }
    void TearDown() override {
        store.reset();
        writer.reset();
        TempFolderTest::TearDown();
    }

    const std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::optional<HeldFolder> held;
    std::optional<MinuteWriter> writer;
    std::optional<SampleStore> store;
};

TEST_F(MinuteWriterTest, AStalledDiskHoldsUpTheWritingThreadButNoQueryOfTheStore) {
    held->hold();
    // The first sample of the next minute closes the first: its row waits for
    // the folder.
    clock->set(fromOrigin(70));
    cpp::Thread pinging([this] { store->addSample("h", 30); });
    held->awaitStalled();
    // The window's queries answer meanwhile, with the new sample in them.
    const PingSeries series = store->series(fromOrigin(70), cpp::Duration::seconds(60), 2, "h");
    EXPECT_EQ(series.stats[0].count, 1);
    EXPECT_EQ(series.stats[1].count, 1);
    EXPECT_EQ(store->series(fromOrigin(70), cpp::Duration::seconds(1), 1).stats[0].last, 30);
    held->release();
    pinging.join();
    const std::string text = readFile(writer->dataFile("h"));
    EXPECT_TRUE(text.ends_with("\t1\t12\t12\t12\t0\t0\n")) << text;
}

TEST_F(MinuteWriterTest, ARemovalWhileARowIsOnItsWayLeavesNeitherFileNorBuckets) {
    held->hold();
    clock->set(fromOrigin(70));
    cpp::Thread pinging([this] { store->addSample("h", 30); });
    held->awaitStalled();
    // The user clears the host's data while the row of the first minute is
    // on its way: the removal comes after it, and leaves no file.
    cpp::Thread clearing([this] { store->removeData("h"); });
    held->release();
    pinging.join();
    clearing.join();
    EXPECT_FALSE(cpp::File::exists(writer->dataFile("h")));
    EXPECT_EQ(store->series(fromOrigin(70), cpp::Duration::seconds(60), 2, "h").stats[1].count, 0);
}

} // namespace
