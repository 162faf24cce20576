#pragma once

#include <utility>

namespace cpp {

class String;

// Root of the library's value classes.
class Object {
public:
    virtual ~Object() = default;

    // A label and a text; `%` formatting inserts the text.
    virtual std::pair<String, String> describe() const;
};

} // namespace cpp
