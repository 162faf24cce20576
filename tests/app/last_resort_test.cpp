#include "app/last_resort.h"

#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

std::vector<cpp::String> told(const std::function<void()>& body) {
    std::vector<cpp::String> texts;
    runAsLastResort(body, [&](const cpp::String& text) { texts.push_back(text); });
    return texts;
}

} // namespace

TEST(LastResort, TellsTheMessageOfAnyStandardExceptionAndNothingForAnInterruption) {
    EXPECT_EQ(told([] { throw cpp::TimeoutException("The operation timed out"); }),
              std::vector<cpp::String>{"An error occured: The operation timed out"});
    EXPECT_EQ(told([] { throw std::runtime_error("disk"); }), std::vector<cpp::String>{"An error occured: disk"});
    EXPECT_EQ(told([] { throw 42; }), std::vector<cpp::String>{"An unknown error occured"});
    EXPECT_TRUE(told([] { throw cpp::InterruptException(); }).empty());
    EXPECT_TRUE(told([] {}).empty());
}
