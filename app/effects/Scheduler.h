#pragma once
// Main-thread timers for the tint service, behind an interface so tests can drive time.

#include <chrono>
#include <functional>
#include <memory>

namespace lunaveil {

class Timer {
public:
    virtual ~Timer() = default;  // destroying a timer invalidates it
    virtual void invalidate() = 0;
};

class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Calls `action` on the main thread after `interval`, and again every `interval` when `repeats`.
    virtual std::unique_ptr<Timer> schedule(std::chrono::milliseconds interval, bool repeats,
                                            std::function<void()> action) = 0;
};

}  // namespace lunaveil
