#pragma once

#include "app/clock.h"
#include "cpp/time.h"

#include <atomic>
#include <cstdint>

// Midnight of the store's first day in the tests, 2023-11-14 00:00:00 UTC.
constexpr std::uint64_t originSeconds = 1699920000;

inline cpp::DateTime fromOrigin(std::int64_t seconds) {
    return cpp::DateTime(
        cpp::Duration::seconds(static_cast<std::uint64_t>(static_cast<std::int64_t>(originSeconds) + seconds)));
}

// A clock the test moves by hand, the calendar and the monotonic one apart;
// its midnight is always the origin.
class ManualClock : public Clock {
public:
    cpp::DateTime now() const override { return cpp::DateTime(cpp::Duration(now_.load())); }
    cpp::DateTime midnight(const cpp::DateTime& time) const override {
        askedFor_ = time.sinceEpoch().count();
        return fromOrigin(0);
    }
    cpp::Time monotonic() const override { return cpp::Time(cpp::Duration(monotonic_.load())); }

    void set(const cpp::DateTime& time) { now_ = time.sinceEpoch().count(); }
    void pass(const cpp::Duration& duration) { monotonic_ += duration.count(); }
    cpp::DateTime askedFor() const { return cpp::DateTime(cpp::Duration(askedFor_.load())); }

private:
    std::atomic<std::uint64_t> now_{fromOrigin(0).sinceEpoch().count()};
    std::atomic<std::uint64_t> monotonic_{cpp::Duration::hours(1).count()};
    mutable std::atomic<std::uint64_t> askedFor_{0};
};
