#include "cpp/property_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"

#include <gtest/gtest.h>

#include <atomic>

namespace cpp {
namespace {

// Other processes are kept out by sharing modes, which only Windows enforces.
TEST(PropertyFileSharing, AnotherWriterBlocksLoadAndSetButAReaderDoesNot) {
    static std::atomic<int> counter{0};
    const FilePath folder(FilePath::temp(),
                          String("tarnlet-property-file-sharing-%-%", DateTime().sinceEpoch().count(), counter++));
    const FilePath path(folder, "config.txt");
    File::openForWriting(path, AsyncIO()).put("hosts a;\nhosts b;\n");
    {
        const Output writer = File::openForAppending(path, AsyncIO());
        PropertyFile file;
        try {
            file.load(path, Duration::seconds(1));
            ADD_FAILURE() << "no time-out";
        } catch (const TimeoutException& error) {
            EXPECT_STREQ(error.what(), "The operation timed out");
        }
        EXPECT_FALSE(file.set("active", "a;"));
        writer.close();
    }
    {
        const Input reader = File::openForReading(path, 0, AsyncIO());
        PropertyFile file;
        file.load(path, Duration::seconds(1));
        EXPECT_EQ(std::string(file.get("hosts").view()), "b;");
        EXPECT_TRUE(file.set("active", "b;"));
    }
    EXPECT_EQ(File::remove(folder), File::Status::Success);
}

} // namespace
} // namespace cpp
