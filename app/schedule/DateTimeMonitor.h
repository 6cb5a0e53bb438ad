#pragma once
// The schedule's clock: about once a second, says on the main thread whether now is inside.

#include "shell/Collaborators.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>

namespace lunaveil {

class DateTimeMonitor final : public ScheduleMonitor {
public:
    explicit DateTimeMonitor(Clock clock = systemNow, std::chrono::milliseconds period = std::chrono::seconds(1));
    ~DateTimeMonitor() override;
    DateTimeMonitor(const DateTimeMonitor&) = delete;
    DateTimeMonitor& operator=(const DateTimeMonitor&) = delete;

    // Replaces any running ticker; the first tick is posted at once.
    void startTimer(TimePoint start, TimePoint stop) override;
    void startTimerFollowingSun(const Coordinates& place) override;
    // No callback runs after this returns, not even for a tick already posted.
    void stopTimer() override;

    // Posts one tick to the main thread now, besides the ticker's own; nothing while stopped.
    void timeTick();

    // Today at hour:minute:00 in the system time zone (now, if that time cannot be made).
    static TimePoint dateFromComponents(int hour, int minute);

private:
    void postTick(std::uint64_t generation);
    void tick(std::uint64_t generation);

    Clock clock_;
    std::chrono::milliseconds period_;
    QObject mainThreadContext_;  // receives the posted ticks; its pending ticks die with it
    void startTicking();

    std::optional<TimePoint> startTime_;
    std::optional<TimePoint> stopTime_;
    std::optional<Coordinates> sunPlace_;
    std::uint64_t generation_ = 0;  // read and written on the main thread only
    std::jthread systemTimer_;
};

}  // namespace lunaveil
