#include "app/session_file.h"

#include "app/data_file.h"
#include "cpp/file.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <vector>

using cpp::FilePath;
using cpp::String;

namespace {

class SessionFileTest : public cpp::TempFolderTest {
protected:
    void TearDown() override {
        file.reset();
        TempFolderTest::TearDown();
    }
    std::vector<String> names() const {
        std::vector<String> found;
        for (const FilePath& entry : cpp::File::list(folder_))
            found.emplace_back(entry.fileName());
        std::sort(found.begin(), found.end());
        return found;
    }
    std::optional<SessionFile> file;
};

std::vector<std::uint8_t> bytesOf(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), seed);
    return bytes;
}

TEST_F(SessionFileTest, StaleFilesGoAtTheStartBytesComeBackFromTheFileAndItGoesAtTheEnd) {
    // Left by crashed runs, and files that only look alike.
    for (const char* name : {"tarnlet-17.session", "tarnlet-4294967295.session", "tarnlet-x.session",
                             "tarnlet-17.session.txt", "h.txt"})
        writeFile(at(name), "x");
    file.emplace([this] { return folder_; });
    const std::vector<String> others{"h.txt", "tarnlet-17.session.txt", "tarnlet-x.session"};
    EXPECT_EQ(names(), others);
    std::vector<std::pair<SessionFile::Place, std::vector<std::uint8_t>>> put;
    // The first bytes stay in memory: a short run makes no file.
    put.emplace_back(file->put(bytesOf(1000, 9)), bytesOf(1000, 9));
    EXPECT_FALSE(file->onDisk());
    EXPECT_EQ(names(), others);
    // Past the first segment, one put larger than a segment, and past the
    // file's mapping anew.
    for (std::size_t i = 0; i < 70; ++i) {
        const auto bytes = bytesOf(i == 20 ? SessionFile::segmentSize + 5 : 300000 + i, static_cast<std::uint8_t>(i));
        put.emplace_back(file->put(bytes), bytes);
    }
    EXPECT_TRUE(file->onDisk());
    for (const auto& [place, bytes] : put)
        ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), file->at(place)));
    // The running one may be listed (Windows) or not (POSIX unlinks it at once).
    std::vector<String> listed = names();
    std::erase_if(listed, [](const String& name) { return SessionFile::isSessionFileName(name.span()); });
    EXPECT_EQ(listed, others);
    file.reset();
    EXPECT_EQ(names(), others);
}

TEST_F(SessionFileTest, WithoutAFolderTheBytesStayInMemory) {
    for (const bool throws : {false, true}) {
        file.emplace([this, throws] {
            if (throws)
                throw cpp::IOException("no folder");
            return at("missing");
        });
        const auto small = bytesOf(10, 1);
        const auto large = bytesOf(3 << 20, 2);
        const SessionFile::Place first = file->put(small);
        const SessionFile::Place second = file->put(large);
        EXPECT_FALSE(file->onDisk());
        EXPECT_TRUE(std::equal(small.begin(), small.end(), file->at(first)));
        EXPECT_TRUE(std::equal(large.begin(), large.end(), file->at(second)));
    }
    EXPECT_FALSE(cpp::File::exists(at("missing")));
}

TEST_F(SessionFileTest, NoDataFileNameIsASessionFileName) {
    const std::vector<std::pair<const char*, bool>> cases{
        {"tarnlet-1.session", true},          {"tarnlet-123456.session", true}, {"tarnlet-.session", false},
        {"tarnlet-12a.session", false},       {"tarnlet-12.session ", false},   {"Tarnlet-12.session", false},
        {"tarnlet-12.sessions", false},       {"x.txt", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(SessionFile::isSessionFileName(cpp::TextSpan(name)), expected) << name;
    for (const char* host : {"tarnlet-1.session", "tarnlet-1.session.", "tarnlet-1.session ", "tarnlet-1"})
        EXPECT_FALSE(SessionFile::isSessionFileName(dataFileName(host).span())) << host;
}

} // namespace
