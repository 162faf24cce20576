#include "ui/data_location.h"

#include <gtest/gtest.h>

namespace {

TEST(DataLocationTest, StartsTheExplorerOfTheWindowsFolderOnItsOwnDrive) {
    const ui::ExplorerCommand command =
        ui::explorerCommand(cpp::FilePath("D:/Windows"), cpp::FilePath("D:/Users/jo/AppData/Local/tarnlet"));
    EXPECT_EQ(command.program, cpp::FilePath("D:/Windows/explorer.exe"));
}

TEST(DataLocationTest, QuotesAFolderWithBlanksInSystemForm) {
    const ui::ExplorerCommand command =
        ui::explorerCommand(cpp::FilePath("C:/Windows"), cpp::FilePath("C:/Users/Jo Doe/AppData/Local/tarnlet"));
    EXPECT_EQ(command.arguments, "\"C:\\Users\\Jo Doe\\AppData\\Local\\tarnlet\"");
}

} // namespace
