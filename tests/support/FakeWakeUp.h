#pragma once
// A wake-up the test's clock drives: it rings when the test moves the clock to or past it.

#include "schedule/WakeUp.h"

#include <optional>

namespace lunaveil::testing {

struct FakeWakeUp final : WakeUp {
    void at(TimePoint when) override { deadline = when; }
    void cancel() override { deadline.reset(); }

    // The clock has come to `now`: rings once if the wake-up is due.
    void advanceTo(TimePoint now)
    {
        if (!deadline || *deadline > now)
            return;
        deadline.reset();
        ++rings;
        if (onWake)
            onWake();
    }
    // What the system says when the clock is set or the zone changes.
    void clockChanged()
    {
        ++rings;
        if (deadline && onWake)
            onWake();
    }

    std::optional<TimePoint> deadline;
    int rings = 0;
};

}  // namespace lunaveil::testing
