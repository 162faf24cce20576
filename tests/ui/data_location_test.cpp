#include "ui/data_location.h"

#include <gtest/gtest.h>

namespace {

TEST(DataLocationTest, ExplorerOfTheWindowsFolderGetsTheQuotedFolderInSystemForm) {
    const ui::ExplorerCommand command =
        ui::explorerCommand(cpp::FilePath("D:/Windows"), cpp::FilePath("D:/Users/Jo Doe/AppData/Local/tarnlet"));
    EXPECT_EQ(command.program, cpp::FilePath("D:/Windows/explorer.exe"));
    EXPECT_EQ(command.arguments, "\"D:\\Users\\Jo Doe\\AppData\\Local\\tarnlet\"");
}

} // namespace
