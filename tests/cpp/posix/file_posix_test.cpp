#include "cpp/file.h"

#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <string>

namespace cpp {
namespace {

// A write the system refuses closes the output, and the writer learns of it
// at its next write.
TEST(FilePosix, AFailedWriteClosesTheOutput) {
    const Output output = File::openForOverwriting(FilePath("/dev/full"), AsyncIO());
    EXPECT_TRUE(output.isOpen());
    output.put(std::string(1000, 'x'));
    output.flush();
    EXPECT_FALSE(output.isOpen());
    EXPECT_THROW(output.put("more"), EOFException);
}

} // namespace
} // namespace cpp
