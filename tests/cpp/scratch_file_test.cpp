#include "cpp/scratch_file.h"

#include "cpp/file.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class ScratchFileTest : public cpp::TempFolderTest {};

TEST_F(ScratchFileTest, WrittenBytesReadThroughViewsAndTheFileGoesWithTheObject) {
    auto file = cpp::ScratchFile::create(at("scratch.bin"));
    ASSERT_TRUE(file);
    const std::uint64_t view = cpp::ScratchFile::viewAlignment;
    ASSERT_TRUE(file->reserve(3 * view, 0));
    const std::vector<std::uint8_t> bytes{1, 2, 3, 250};
    // Across the end of one view and the start of the next, as placed.
    EXPECT_TRUE(file->write(view - 2, bytes));
    const std::uint8_t* first = file->map(0, view);
    const std::uint8_t* second = file->map(view, 2 * view);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(std::vector<std::uint8_t>(first + view - 2, first + view), std::vector<std::uint8_t>({1, 2}));
    EXPECT_EQ(std::vector<std::uint8_t>(second, second + 2), std::vector<std::uint8_t>({3, 250}));
    // Written after the view was made, the view sees it.
    EXPECT_TRUE(file->write(view + 100, bytes));
    EXPECT_EQ(std::memcmp(second + 100, bytes.data(), bytes.size()), 0);
    // A view given back and made again shows the same bytes.
    file->unmap(second);
    second = file->map(view, 2 * view);
    ASSERT_TRUE(second);
    EXPECT_EQ(std::memcmp(second + 100, bytes.data(), bytes.size()), 0);
    // Outside the reserved size, or a view off the alignment: refused.
    EXPECT_FALSE(file->write(3 * view - 1, bytes));
    EXPECT_EQ(file->map(1, 100), nullptr);
    EXPECT_EQ(file->map(view, 3 * view), nullptr);
    // More than the disk has free: refused, the file as it was.
    EXPECT_FALSE(file->reserve(4 * view, std::uint64_t{1} << 62));
    EXPECT_FALSE(file->write(3 * view, bytes));
    file.reset();
    EXPECT_FALSE(cpp::File::exists(at("scratch.bin")));
}

TEST_F(ScratchFileTest, NoFolderNoFile) {
    EXPECT_EQ(cpp::ScratchFile::create(at("missing/scratch.bin")), nullptr);
}

} // namespace
