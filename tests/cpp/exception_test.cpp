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

TEST(Exception, CopiesKeepTheMessage) {
    Exception original(String("lost % rows", 3));
    const Exception copy = original;
    original = Exception("other");
    EXPECT_STREQ(copy.what(), "lost 3 rows");
}

TEST(Exception, CheckFunctionsThrowOnlyOnFalse) {
    EXPECT_NO_THROW(IOException::check(true, "unused"));
    EXPECT_NO_THROW(DurationException::check(true, "unused"));
    try {
        IOException::check(false, "Memory write failed");
        ADD_FAILURE();
    } catch (const Exception& error) {
        EXPECT_NE(dynamic_cast<const IOException*>(&error), nullptr);
        EXPECT_STREQ(error.what(), "Memory write failed");
    }
    EXPECT_THROW(DurationException::check(false, "x"), DurationException);
}

TEST(Exception, FamilyIsCaughtThroughItsBases) {
    EXPECT_THROW(throw EOFException("closed"), IOException);
    EXPECT_THROW(throw TimeoutException(String("The operation timed out")), Exception);
    EXPECT_THROW(throw InterruptException(), std::exception);
}

} // namespace
} // namespace cpp
