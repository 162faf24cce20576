#include "cpp/exception.h"

#include <gtest/gtest.h>

namespace cpp {
namespace {

TEST(Exception, WhatPrefersMessageThenConstantText) {
    EXPECT_STREQ(Exception(String("formatted % text", 1)).what(), "formatted 1 text");
    EXPECT_STREQ(Exception("constant").what(), "constant");
    EXPECT_STREQ(Exception(String()).what(), "Unknown exception");
    EXPECT_STREQ(Exception(static_cast<const char*>(nullptr)).what(), "Unknown exception");
    EXPECT_STREQ(InterruptException().what(), "Thread execution was interrupted.");
}

TEST(Exception, ChecksThrowOnlyOnFalseAndAnEndOfInputIsAnIOError) {
    EXPECT_NO_THROW(IOException::check(true, "unused"));
    EXPECT_NO_THROW(DurationException::check(true, "unused"));
    EXPECT_THROW(IOException::check(false, "Memory write failed"), IOException);
    EXPECT_THROW(DurationException::check(false, "x"), DurationException);
    // Callers that retry on I/O errors must see a closed input as one.
    EXPECT_THROW(throw EOFException("closed"), IOException);
}

} // namespace
} // namespace cpp
