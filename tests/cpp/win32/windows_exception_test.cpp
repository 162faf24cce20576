#include "cpp/win32/windows_exception.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace cpp::windows {
namespace {

TEST(WindowsException, KeepsTheSystemTextAsWritten) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    const Exception error;
    EXPECT_EQ(error.errorCode(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(error.hresult(), 0);
    const std::string text = error.what();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n') << text;
}

TEST(WindowsException, CodeWithoutSystemTextFallsBack) {
    SetLastError(0x20001234);
    const Exception error;
    EXPECT_STREQ(error.what(), "error code: 536875572 (0x20001234)");
    EXPECT_EQ(error.errorCode(), 0x20001234u);
}

TEST(WindowsException, FromHResultKeepsNoErrorCode) {
    const Exception error(static_cast<std::int32_t>(E_FAIL));
    EXPECT_STREQ(error.what(), "hresult: 0x80004005");
    EXPECT_EQ(error.errorCode(), 0u);
    EXPECT_EQ(error.hresult(), static_cast<std::int32_t>(E_FAIL));
    EXPECT_THROW(throw error, cpp::Exception);
}

} // namespace
} // namespace cpp::windows
