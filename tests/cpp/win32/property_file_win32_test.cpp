#include "cpp/property_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"

#include "../temp_folder.h"

#include <gtest/gtest.h>

namespace cpp {
namespace {

// Other processes are kept out by sharing modes, which only Windows enforces.
class PropertyFileSharing : public TempFolderTest {};

TEST_F(PropertyFileSharing, AnotherWriterBlocksLoadAndSetButAReaderDoesNot) {
    const FilePath path = at("config.txt");
    writeFile(path, "hosts a;\nhosts b;\n");
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
}

} // namespace
} // namespace cpp
