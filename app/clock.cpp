#include "app/clock.h"

#include "cpp/thread.h"

namespace {

class SystemClock : public Clock {
public:
    cpp::DateTime now() const override { return cpp::DateTime(); }

    cpp::DateTime midnight(const cpp::DateTime& time) const override {
        std::tm fields = cpp::Date(time).fields();
        fields.tm_hour = 0;
        fields.tm_min = 0;
        fields.tm_sec = 0;
        // Midnight may lie on the other side of a daylight-saving change.
        fields.tm_isdst = -1;
        return cpp::DateTime(cpp::Date(fields));
    }
};

} // namespace

void Clock::sleep(const cpp::Duration& duration) const {
    cpp::Thread::sleep(duration);
}

std::shared_ptr<Clock> systemClock() {
    static const std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}
