#pragma once
// A wake-up at a time of the wall clock, on the main thread: what the schedule sleeps on between
// its boundaries, instead of looking at the clock every second.

#include "common/Clock.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace lunaveil {

class WakeUp {
public:
    virtual ~WakeUp() = default;
    // Wakes once at `when` (at once when that has passed), replacing any earlier wake-up.
    virtual void at(TimePoint when) = 0;
    // No wake-up comes after this, until the next at().
    virtual void cancel() = 0;

    // Called on the main thread at the time asked for, and at once whenever the wall clock is
    // set, the time zone changes or the system resumes past it.
    std::function<void()> onWake;
};

// A timerfd on CLOCK_REALTIME (absolute, cancelled when the clock is set), which a suspend does
// not delay, and a watch on `localTime` (/etc/localtime) for a change of time zone.
std::unique_ptr<WakeUp> makeSystemWakeUp(std::filesystem::path localTime = "/etc/localtime");

}  // namespace lunaveil
