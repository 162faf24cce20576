#include "app/data_file.h"

#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "app/sample_store.h"
#include "cpp/file.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

using cpp::Duration;
using cpp::String;

namespace {

class DataFileSharingTest : public cpp::TempFolderTest {};

// Another process writing a host's file, with sharing that keeps other
// writers out: the rows of that time are lost, and writing resumes by itself
// at the first row a retry delay after the file is let go.
TEST_F(DataFileSharingTest, AFileHeldByAnotherWriterLosesRowsOnlyWhileItIsHeld) {
    auto clock = std::make_shared<ManualClock>();
    MinuteWriter writer(clock, [this] { return folder_; });
    SampleStore store(clock, [this] { return folder_; }, &writer);
    const cpp::FilePath file = store.dataFile("h");
    const auto sample = [&](std::int64_t seconds, std::int32_t value) {
        clock->set(fromOrigin(9 * 3600 + seconds));
        store.addSample("h", value);
    };
    {
        const cpp::Output other = cpp::File::openForAppending(file, cpp::AsyncIO());
        sample(5, 1);
        sample(65, 2);
        other.close();
    }
    sample(125, 3);
    EXPECT_EQ(readFile(file), "");
    clock->pass(MinuteWriter::retryDelay);
    sample(185, 4);
    sample(245, 5);
    EXPECT_EQ(String(readFile(file)), formatDataRow(fromOrigin(9 * 3600 + 120), statsRow(1, 3, 3, 3)) +
                                          formatDataRow(fromOrigin(9 * 3600 + 180), statsRow(1, 4, 4, 4)));
}

} // namespace
