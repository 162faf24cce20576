#pragma once

#include <compare>
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

// Derives the relational operators of T from one three-way `compare`
// returning -1, 0 or 1.
template <class T>
class Comparable {
public:
    virtual int compare(const T& other) const = 0;

    friend bool operator==(const T& a, const T& b) { return a.compare(b) == 0; }
    friend std::strong_ordering operator<=>(const T& a, const T& b) { return a.compare(b) <=> 0; }

protected:
    ~Comparable() = default;
};

} // namespace cpp
