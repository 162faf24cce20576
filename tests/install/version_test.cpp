#include "install/version.h"

#include "cpp/exception.h"

#include <gtest/gtest.h>

namespace install {
namespace {

TEST(Version, FindsTheFirstNumberPairAnywhereInTheText) {
    EXPECT_EQ(Version::find("1.1"), (Version{1, 1}));
    EXPECT_EQ(Version::find("tarnlet 2.0 (build 7.3)\r\n"), (Version{2, 0}));
    EXPECT_EQ(Version::find("v007.010"), (Version{7, 10}));
    EXPECT_EQ(Version::find("release 1."), (Version{}));
    EXPECT_EQ(Version::find("<html>not found</html>"), (Version{}));
    EXPECT_EQ(Version::find(""), (Version{}));
    EXPECT_EQ(Version::find("12.x 1..2 3.4"), (Version{3, 4}));
}

TEST(Version, AHugeBodyOfDigitsIsScannedWithoutExhaustingTheStack) {
    const std::string digits(1 << 20, '7');
    EXPECT_EQ(Version::find(cpp::String(digits + " 1.2")), (Version{1, 2}));
    EXPECT_THROW(Version::find(cpp::String("1." + digits)), cpp::Exception);
}

TEST(Version, ComparesMajorThenMinorAsNumbers) {
    const Version own = Version::find("1.1");
    EXPECT_GT(Version::find("1.2"), own);
    EXPECT_GT(Version::find("2.0"), own);
    EXPECT_GT(Version::find("1.10"), own);
    EXPECT_GT(Version::find("1.10"), Version::find("1.9"));
    EXPECT_FALSE(Version::find("1.1") > own);
    EXPECT_FALSE(Version::find("1.0") > own);
    EXPECT_FALSE(Version::find("0.9") > own);
    EXPECT_FALSE(Version::find("garbage") > own);
}

TEST(Version, ANumberBeyond32BitsIsAnError) {
    EXPECT_EQ(Version::find("2147483647.0"), (Version{2147483647, 0}));
    EXPECT_THROW(Version::find("2147483648.0"), cpp::Exception);
    EXPECT_THROW(Version::find("1.99999999999999999999"), cpp::Exception);
}

} // namespace
} // namespace install
