#pragma once

#include "cpp/string.h"

#include <chrono>
#include <compare>
#include <cstdint>
#include <ctime>
#include <type_traits>

namespace cpp {

// A span of time in microseconds, never negative. The count with all bits set
// is the infinite duration: greater than every other and equal only to itself.
class Duration {
public:
    static const Duration infinite;

    constexpr Duration() = default;
    constexpr explicit Duration(std::uint64_t microseconds) : count_(microseconds) {}

    // The products wrap without a check.
    static constexpr Duration milliseconds(std::uint64_t n) { return Duration(n * 1000u); }
    static constexpr Duration seconds(std::uint64_t n) { return Duration(n * 1000000u); }
    static constexpr Duration minutes(std::uint64_t n) { return Duration(n * 60000000u); }
    static constexpr Duration hours(std::uint64_t n) { return Duration(n * 3600000000u); }

    constexpr std::uint64_t count() const { return count_; }
    constexpr bool isInfinite() const { return count_ == UINT64_MAX; }

    // By count: the infinite duration, all bits set, is the greatest.
    constexpr auto operator<=>(const Duration&) const = default;

    // As '1 minute, 30 seconds'; `%` formatting inserts it.
    String text() const;

    // Throws DurationException for the infinite duration.
    std::chrono::microseconds toChrono() const;

    // Infinite if either side is.
    friend Duration operator+(const Duration& a, const Duration& b);
    // Infinite if either side is; 0 when b is the longer.
    friend Duration operator-(const Duration& a, const Duration& b);

private:
    std::uint64_t count_ = 0;
};

inline const Duration Duration::infinite{UINT64_MAX};

inline String formatText(const Duration& duration) {
    return duration.text();
}

// A point on the monotonic clock, in microseconds since its origin.
class Time {
public:
    // Now.
    Time();
    explicit Time(Duration sinceOrigin) : sinceOrigin_(sinceOrigin) {}

    Duration sinceOrigin() const { return sinceOrigin_; }
    auto operator<=>(const Time&) const = default;

    // For waits with a deadline; throws DurationException for the infinite time.
    std::chrono::steady_clock::time_point toChrono() const;

    // Throws DurationException for an infinite duration.
    friend Time operator+(const Time& time, const Duration& duration);
    // How long from b to a; 0 when b is later.
    friend Duration operator-(const Time& a, const Time& b);

private:
    Duration sinceOrigin_;
};

class Date;

// A point on the calendar clock, in microseconds since 1970-01-01 00:00:00 UTC.
class DateTime {
public:
    // Now.
    DateTime();
    explicit DateTime(Duration sinceEpoch) : sinceEpoch_(sinceEpoch) {}
    // Local time; a date before 1970 gives 1970.
    explicit DateTime(const Date& date);

    Duration sinceEpoch() const { return sinceEpoch_; }
    auto operator<=>(const DateTime&) const = default;

    // Both throw DurationException for an infinite duration or result; a
    // result before 1970 becomes 1970.
    friend DateTime operator+(const DateTime& time, const Duration& duration);
    friend DateTime operator-(const DateTime& time, const Duration& duration);
    // The distance, whichever is the later.
    friend Duration operator-(const DateTime& a, const DateTime& b);

private:
    Duration sinceEpoch_;
};

// Local broken-down calendar time, for printing.
class Date {
public:
    // The whole seconds of time in local time; the fraction is dropped.
    explicit Date(const DateTime& time);
    explicit Date(const std::tm& fields) : fields_(fields) {}

    const std::tm& fields() const { return fields_; }

    // strftime into 64 characters: empty when the output does not fit in 63.
    String format(const char* pattern) const;
    // "%F %X", as 2024-03-01 14:05:09.
    String toString() const { return format("%F %X"); }

    // As the local times they stand for (fields out of their ranges are
    // carried over, as mktime does), not field by field.
    std::strong_ordering operator<=>(const Date& other) const;
    bool operator==(const Date& other) const { return (*this <=> other) == 0; }

private:
    std::tm fields_{};
};

// Measures elapsed time on the steady clock.
class Stopwatch {
public:
    Stopwatch() { start(); }

    void start();
    Duration elapsed() const;
    // The elapsed time, and starts again from now.
    Duration restart();

private:
    std::int64_t startNanoseconds_ = 0;
};

// Plain values: copied as their bytes, as the store and the bus copy them.
static_assert(std::is_trivially_copyable_v<Duration>);
static_assert(std::is_trivially_copyable_v<Time>);
static_assert(std::is_trivially_copyable_v<DateTime>);
static_assert(std::is_trivially_copyable_v<Date>);

} // namespace cpp
