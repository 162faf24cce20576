#pragma once

#include "cpp/file.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace cpp {

// Gives each test a fresh folder of its own under the temporary folder, and
// removes it afterwards.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = FilePath(FilePath::temp(), String("tarnlet-test-%-%-%-%", test->test_suite_name(), test->name(),
                                                    DateTime().sinceEpoch().count(), counter++));
        ASSERT_EQ(File::createDirectory(folder_), File::Status::Success);
    }
    void TearDown() override { EXPECT_EQ(File::remove(folder_), File::Status::Success); }

    FilePath at(TextSpan relative) const { return FilePath(folder_, relative); }

    static void writeFile(const FilePath& path, const std::string& bytes) {
        File::openForWriting(path, AsyncIO()).put(bytes);
    }

    static std::string readFile(const FilePath& path, std::size_t bufferSize = 1000) {
        const Input input = File::openForReading(path, 0, AsyncIO());
        std::string bytes;
        std::vector<char> buffer(bufferSize);
        while (input.isOpen()) {
            const TextSpan got = input.read(buffer, Duration::infinite);
            bytes.append(got.begin(), got.size());
        }
        return bytes;
    }

    FilePath folder_;
};

} // namespace cpp
