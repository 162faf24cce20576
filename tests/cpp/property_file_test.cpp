#include "cpp/property_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/thread.h"
#include "cpp/thrown.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace cpp {
namespace {

class PropertyFileTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        path_ = at("config.txt");
    }

    void writeFile(const std::string& bytes) const { TempFolderTest::writeFile(path_, bytes); }
    std::string readFile() const { return TempFolderTest::readFile(path_); }

    FilePath path_;
};

std::string text(TextSpan span) {
    return std::string(span.view());
}

TEST_F(PropertyFileTest, LoadReplaysTheLinesAndRewritesOneLinePerKeyInKeyOrder) {
    // Longer than what it compacts to, so anything left of the old contents shows.
    writeFile("hosts a;b;\nhosts=c;\r\nactive:c;\n# hosts comment\n// hosts comment\n  hosts x;\n"
              "\n=hosts\nscale\npos\t10,20,800,600\rextra x;y; \n");
    PropertyFile file;
    file.load(path_, Duration::seconds(1));

    EXPECT_EQ(file.path(), path_);
    EXPECT_EQ(text(file.get("hosts")), "c;");
    EXPECT_EQ(text(file.get("active")), "c;");
    EXPECT_EQ(text(file.get("pos")), "10,20,800,600");
    EXPECT_EQ(text(file.get("extra")), "x;y; ");
    ASSERT_NE(file.get("scale").begin(), nullptr);
    EXPECT_TRUE(file.get("scale").empty());
    EXPECT_EQ(file.values().size(), 5u);
    EXPECT_EQ(readFile(), "active\tc;\nextra\tx;y; \nhosts\tc;\npos\t10,20,800,600\nscale\t\n");

    // The compact form reads back as itself.
    PropertyFile again;
    again.load(path_, Duration::seconds(1));
    EXPECT_EQ(readFile(), "active\tc;\nextra\tx;y; \nhosts\tc;\npos\t10,20,800,600\nscale\t\n");
    EXPECT_EQ(again.values().size(), 5u);
}

TEST_F(PropertyFileTest, RemoveLinesEraseWhatCameBefore) {
    writeFile("hosts a;\npos 1,2,3,4\n[remove] hosts\nactive a;\n");
    PropertyFile file;
    file.load(path_, Duration::seconds(1));
    EXPECT_EQ(file.get("hosts").begin(), nullptr);
    EXPECT_EQ(readFile(), "active\ta;\npos\t1,2,3,4\n");

    // Nothing left: the file is emptied, not kept.
    writeFile("hosts a;\n[remove]\n");
    PropertyFile emptied;
    emptied.load(path_, Duration::seconds(1));
    EXPECT_TRUE(emptied.values().empty());
    EXPECT_EQ(readFile(), "");
}

TEST_F(PropertyFileTest, SetAppendsAfterLoadAndTheFileIsCreatedByTheFirstSet) {
    PropertyFile file;
    // Nothing bound yet: kept in memory only.
    EXPECT_FALSE(file.set("scale", "60"));
    file.load(path_, Duration::seconds(1));
    EXPECT_FALSE(File::exists(path_));
    EXPECT_EQ(text(file.get("scale")), "60");

    EXPECT_TRUE(file.set("hosts", "a;"));
    EXPECT_TRUE(file.set("active", ""));
    EXPECT_TRUE(file.set("hosts", "a;b;"));
    EXPECT_EQ(readFile(), "hosts\ta;\nactive\t\nhosts\ta;b;\n");

    // What was only in memory before the load goes into the compacted file;
    // the file's lines win over it.
    PropertyFile next;
    EXPECT_FALSE(next.set("hosts", "old;"));
    EXPECT_FALSE(next.set("pos", "1,2,3,4"));
    next.load(path_, Duration::seconds(1));
    EXPECT_EQ(text(next.get("hosts")), "a;b;");
    ASSERT_NE(next.get("active").begin(), nullptr);
    EXPECT_EQ(readFile(), "active\t\nhosts\ta;b;\npos\t1,2,3,4\n");
}

TEST_F(PropertyFileTest, PairsThatWouldNotReadBackStayOutOfTheFile) {
    PropertyFile file;
    file.load(path_, Duration::seconds(1));
    ASSERT_TRUE(file.set("hosts", "a;"));

    // A line break in a value would smuggle in lines of its own.
    EXPECT_FALSE(file.set("hosts", "b;\n[remove]"));
    EXPECT_FALSE(file.set("active", "b;\rscale 1"));
    EXPECT_FALSE(file.set("a key", "v"));
    EXPECT_FALSE(file.set("", "v"));
    EXPECT_FALSE(file.set("[remove]", ""));
    EXPECT_FALSE(file.set("#hosts", "v"));
    EXPECT_EQ(text(file.get("hosts")), "b;\n[remove]");
    EXPECT_EQ(readFile(), "hosts\ta;\n");

    // Nor does a load write them.
    file.load(path_, Duration::seconds(1));
    EXPECT_EQ(readFile(), "hosts\ta;\n");
    EXPECT_EQ(text(file.get("active")), "b;\rscale 1");
}

TEST_F(PropertyFileTest, ACompactFormThatCannotBeWrittenLeavesTheFileAsItWas) {
    const std::string log = "hosts a;\nhosts b;\n";
    writeFile(log);
    // A folder where the new file would go stands for a full disk.
    ASSERT_EQ(File::createDirectory(at("config.txt.new/x")), File::Status::Success);
    std::vector<CompactionStep> steps;
    PropertyFile file(AsyncIO(), [&steps](CompactionStep step) { steps.push_back(step); });
    file.load(path_, Duration::seconds(5));

    // Loaded in one attempt; the log replays to the same values.
    EXPECT_EQ(text(file.get("hosts")), "b;");
    EXPECT_EQ(readFile(), log);
    EXPECT_TRUE(File::exists(at("config.txt.new/x")));
    EXPECT_EQ(steps, (std::vector<CompactionStep>{CompactionStep::Locked, CompactionStep::Read,
                                                   CompactionStep::Released}));
    EXPECT_TRUE(file.set("active", "b;"));
    EXPECT_EQ(readFile(), log + "active\tb;\n");
}

TEST_F(PropertyFileTest, AFileThatCannotBeOpenedTimesOutAndRefusesSets) {
    // A folder where the file should be can never be opened as one.
    ASSERT_EQ(File::createDirectory(path_), File::Status::Success);
    PropertyFile file;
    EXPECT_EQ(test::thrownText<TimeoutException>([&] { file.load(path_, Duration::milliseconds(300)); }),
              "The operation timed out");
    EXPECT_FALSE(file.set("hosts", "a;"));
    EXPECT_EQ(text(file.get("hosts")), "a;");

    // Without a time-out only an interrupt ends the retries.
    Thread loader([this] {
        PropertyFile waiting;
        waiting.load(path_, Duration::infinite);
    });
    Thread::sleep(Duration::milliseconds(300));
    loader.interrupt();
    loader.join();
    ASSERT_TRUE(loader.info()->exception());
    EXPECT_THROW(std::rethrow_exception(loader.info()->exception()), InterruptException);
}

} // namespace
} // namespace cpp
