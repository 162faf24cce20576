#include "cpp/time.h"

#include "cpp/exception.h"
#include "cpp/local_time.h"

namespace cpp {

namespace {

constexpr const char* infiniteConversion = "Cannot convert infinite Duration to std::chrono::duration";

// Appends "% unit", plural when n > 1, and ", " unless nothing smaller follows.
bool appendUnit(String& text, std::uint64_t n, const char* unit, bool smallerFollow) {
    text += String("% %", n, unit);
    if (n > 1) {
        text += 's';
    }
    if (!smallerFollow) {
        return false;
    }
    text += ", ";
    return true;
}

} // namespace

String Duration::text() const {
    const std::uint64_t c = count_;
    const std::uint64_t days = c / 86400000000u;
    const std::uint64_t hours = (c / 3600000000u) % 24;
    const std::uint64_t minutes = (c / 60000000u) % 60;
    const std::uint64_t seconds = (c / 1000000u) % 60;
    const std::uint64_t millis = (c / 1000u) % 1000;
    const std::uint64_t micros = c % 1000;

    String text;
    if (days > 0 && !appendUnit(text, days, "day", hours || minutes || seconds || millis || micros)) {
        return text;
    }
    if (hours > 0 && !appendUnit(text, hours, "hour", minutes || seconds || millis || micros)) {
        return text;
    }
    if (minutes > 0 && !appendUnit(text, minutes, "minute", seconds || millis || micros)) {
        return text;
    }
    text += String::fromUnsigned(seconds, text.empty() ? 1 : 2);
    if (millis || micros) {
        text += '.';
        text += String::fromUnsigned(millis, 3, 0, true);
        if (micros) {
            text += String::fromUnsigned(micros, 3, 0, true);
        }
    }
    text += " second";
    if (!(seconds == 1 && millis == 0 && micros == 0)) {
        text += 's';
    }
    return text;
}

std::chrono::microseconds Duration::toChrono() const {
    DurationException::check(!isInfinite(), infiniteConversion);
    return std::chrono::microseconds(static_cast<std::chrono::microseconds::rep>(count_));
}

Duration operator+(const Duration& a, const Duration& b) {
    if (a.isInfinite() || b.isInfinite()) {
        return Duration::infinite;
    }
    return Duration(a.count_ + b.count_);
}

Duration operator-(const Duration& a, const Duration& b) {
    if (a.isInfinite() || b.isInfinite()) {
        return Duration::infinite;
    }
    return a < b ? Duration() : Duration(a.count_ - b.count_);
}

Time::Time() {
    const auto sinceOrigin = std::chrono::steady_clock::now().time_since_epoch();
    sinceOrigin_ = Duration(static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(sinceOrigin).count()));
}

std::chrono::steady_clock::time_point Time::toChrono() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(sinceOrigin_.toChrono()));
}

Time operator+(const Time& time, const Duration& duration) {
    DurationException::check(!duration.isInfinite(), "Cannot relate Time from infinite Duration");
    DurationException::check(!time.sinceOrigin_.isInfinite(), infiniteConversion);
    return Time(Duration(time.sinceOrigin_.count() + duration.count()));
}

Duration operator-(const Time& a, const Time& b) {
    return a.sinceOrigin_ - b.sinceOrigin_;
}

DateTime::DateTime() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count();
    sinceEpoch_ = Duration(micros > 0 ? static_cast<std::uint64_t>(micros) : 0);
}

DateTime::DateTime(const Date& date) {
    std::tm fields = date.fields();
    const std::time_t seconds = std::mktime(&fields);
    sinceEpoch_ = Duration::seconds(seconds > 0 ? static_cast<std::uint64_t>(seconds) : 0);
}

namespace {

constexpr const char* infiniteDateTime = "Cannot relate DateTime from infinite Duration";

DateTime checkedDateTime(Duration sinceEpoch) {
    DurationException::check(!sinceEpoch.isInfinite(), infiniteDateTime);
    return DateTime(sinceEpoch);
}

} // namespace

DateTime operator+(const DateTime& time, const Duration& duration) {
    DurationException::check(!duration.isInfinite(), infiniteDateTime);
    return checkedDateTime(time.sinceEpoch_ + duration);
}

DateTime operator-(const DateTime& time, const Duration& duration) {
    DurationException::check(!duration.isInfinite(), infiniteDateTime);
    return checkedDateTime(time.sinceEpoch_ - duration);
}

Duration operator-(const DateTime& a, const DateTime& b) {
    return a < b ? b.sinceEpoch_ - a.sinceEpoch_ : a.sinceEpoch_ - b.sinceEpoch_;
}

Date::Date(const DateTime& time)
    : fields_(detail::toLocalTime(static_cast<std::time_t>(time.sinceEpoch().count() / 1000000u))) {}

String Date::format(const char* pattern) const {
    char buffer[64];
    const std::size_t length = detail::formatTime(buffer, sizeof buffer, pattern, fields_);
    return String(TextSpan(buffer, buffer + length));
}

std::strong_ordering Date::operator<=>(const Date& other) const {
    std::tm mine = fields_;
    std::tm theirs = other.fields_;
    return std::mktime(&mine) <=> std::mktime(&theirs);
}

namespace {

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Duration between(std::int64_t fromNanoseconds, std::int64_t toNanoseconds) {
    const std::int64_t elapsed = toNanoseconds - fromNanoseconds;
    return Duration(elapsed > 0 ? static_cast<std::uint64_t>(elapsed / 1000) : 0);
}

} // namespace

void Stopwatch::start() {
    startNanoseconds_ = steadyNanoseconds();
}

Duration Stopwatch::elapsed() const {
    return between(startNanoseconds_, steadyNanoseconds());
}

Duration Stopwatch::restart() {
    const std::int64_t now = steadyNanoseconds();
    const Duration elapsed = between(startNanoseconds_, now);
    startNanoseconds_ = now;
    return elapsed;
}

} // namespace cpp
