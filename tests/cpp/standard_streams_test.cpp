#include "cpp/standard_streams.h"

#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>

namespace cpp {
namespace {

// Points std::cout at another buffer for one test.
class CoutRedirect {
public:
    explicit CoutRedirect(std::streambuf* buffer) : saved_(std::cout.rdbuf(buffer)) {}
    ~CoutRedirect() {
        std::cout.rdbuf(saved_);
        std::cout.clear();
    }

private:
    std::streambuf* saved_;
};

// Takes limit bytes, then fails as a closed pipe does.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::size_t limit) : limit_(limit) {}
    std::string text;

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()) || text.size() >= limit_) {
            return traits_type::eof();
        }
        text.push_back(traits_type::to_char_type(c));
        return c;
    }

private:
    std::size_t limit_;
};

TEST(StandardOutput, WritesThroughTheBufferedStream) {
    std::stringbuf captured;
    const CoutRedirect redirect(&captured);
    const Output output(std::make_shared<StandardOutput::Sink>());
    output.print("% %\n", "hello", 42);
    output.put("done");
    output.flush();
    output.close();
    EXPECT_TRUE(output.isOpen());
    EXPECT_EQ(captured.str(), "hello 42\ndone");
}

TEST(StandardOutput, FailedStreamClosesTheSinkInsteadOfRetrying) {
    FailingBuffer failing(3);
    const CoutRedirect redirect(&failing);
    const Output output(std::make_shared<StandardOutput::Sink>());
    EXPECT_THROW(output.put("hello"), EOFException);
    EXPECT_EQ(failing.text, "hel");
    EXPECT_FALSE(output.isOpen());
}

} // namespace
} // namespace cpp
