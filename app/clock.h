#pragma once

#include "cpp/time.h"

#include <memory>

// Where the model reads the calendar time, so that tests can cross a minute
// or a midnight without waiting for one.
class Clock {
public:
    virtual ~Clock() = default;

    virtual cpp::DateTime now() const = 0;
    // Local midnight (00:00:00) of the day that contains time.
    virtual cpp::DateTime midnight(const cpp::DateTime& time) const = 0;
    // The monotonic clock, for delays that a change of the calendar time
    // must not stretch or cut.
    virtual cpp::Time monotonic() const { return cpp::Time(); }
    // Waits for duration on the monotonic clock. An interruption point: a
    // thread being stopped leaves it by cpp::InterruptException.
    virtual void sleep(const cpp::Duration& duration) const;
};

// The system's clock and local time zone.
std::shared_ptr<Clock> systemClock();
