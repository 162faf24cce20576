#pragma once

#include <string>

namespace cpp::test {

// The message of the E that call throws, or "no exception". Any other
// exception escapes and fails the test.
template <class E, class Call>
std::string thrownText(Call&& call) {
    try {
        call();
    } catch (const E& error) {
        return error.what();
    }
    return "no exception";
}

} // namespace cpp::test
