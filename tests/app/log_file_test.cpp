#include "app/log_file.h"

#include "cpp/program.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

using cpp::DateTime;

class LogFileTest : public cpp::TempFolderTest {};

TEST_F(LogFileTest, EntriesAreAppendedAsOneLineEachInAFolderMadeOnDemand) {
    const cpp::FilePath path = at("logs/tarnlet.log");
    const DateTime time;
    {
        LogFile log(path, cpp::AsyncIO());
        log.log(time, 7, "", "begin: 127.0.0.1");
        log.log(time, 4, "", "Error: Not Found\n");
    }
    LogFile(path, cpp::AsyncIO()).log(time, 7, "", "again");
    const cpp::String stamp = cpp::Date(time).format("%F %X");
    EXPECT_EQ(readFile(path), cpp::String("%\t7\tbegin: 127.0.0.1\n%\t4\tError: Not Found\n%\t7\tagain\n",
                                          stamp, stamp, stamp));
}

TEST_F(LogFileTest, AnUnwritableLogIsSkippedAndWrittenOnceItCanBe) {
    const cpp::FilePath blocker = at("blocker");
    writeFile(blocker, "a file where the log's folder should be");
    LogFile log(cpp::FilePath(blocker, "tarnlet.log"), cpp::AsyncIO());
    log.log(DateTime(), 7, "", "lost");
    ASSERT_EQ(cpp::File::remove(blocker), cpp::File::Status::Success);
    log.log(DateTime(), 7, "", "kept");
    EXPECT_NE(readFile(cpp::FilePath(blocker, "tarnlet.log")).find("\tkept\n"), std::string::npos);
}

// What the program's parts log as they are torn down, the last figures among
// it, is written before the file's I/O service stops.
TEST_F(LogFileTest, EntriesLoggedAsTheProgramEndsAreWritten) {
    const cpp::FilePath path = at("tarnlet.log");
    {
        cpp::Program::Standard program(L"");
        program.logger().addFilter(std::make_shared<LogFile>(path, program.asyncIO()));
        program.logger().append(6, "", "first");
        program.logger().append(6, "", "last");
    }
    const cpp::String text = readFile(path);
    EXPECT_NE(text.find("\t6\tfirst\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\t6\tlast\n"), std::string::npos) << text;
}
