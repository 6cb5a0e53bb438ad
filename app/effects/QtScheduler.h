#pragma once
// Scheduler timers on the Qt event loop.

#include "effects/Scheduler.h"

namespace lunaveil {

class QtScheduler final : public Scheduler {
public:
    std::unique_ptr<Timer> schedule(std::chrono::milliseconds interval, bool repeats,
                                    std::function<void()> action) override;
};

}  // namespace lunaveil
