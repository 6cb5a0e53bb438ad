#pragma once
// The schedule's clock: says on the main thread whether now is inside the interval, at the start
// and at every boundary of it, and sleeps in between.

#include "schedule/WakeUp.h"
#include "shell/Collaborators.h"

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>

namespace lunaveil {

// Ticks once after each start, then at each start or stop time of day (or each sunrise and
// sunset), at each local midnight, at each change of the zone's offset (a clock change), and
// whenever the wall clock is set, the time zone changes or the system resumes: everything a tick
// every second would have shown, and nothing more.
class DateTimeMonitor final : public ScheduleMonitor {
public:
    explicit DateTimeMonitor(Clock clock = systemNow, std::unique_ptr<WakeUp> wakeUp = makeSystemWakeUp());
    ~DateTimeMonitor() override;
    DateTimeMonitor(const DateTimeMonitor&) = delete;
    DateTimeMonitor& operator=(const DateTimeMonitor&) = delete;

    // Replaces any running schedule; the first tick is posted at once.
    void startTimer(TimePoint start, TimePoint stop) override;
    void startTimerFollowingSun(const Coordinates& place) override;
    // No callback runs after this returns, not even for a tick already posted.
    void stopTimer() override;

    // Posts one tick to the main thread now; nothing while stopped.
    void timeTick();

    // When the next tick is due after `now`: the first boundary of the interval, local midnight
    // or a change of the local offset, whichever comes first.
    TimePoint nextWakeUp(TimePoint now) const;

    // Today at hour:minute:00 in the system time zone (now, if that time cannot be made).
    static TimePoint dateFromComponents(int hour, int minute);

private:
    void start();
    void postTick(std::uint64_t generation);
    void tick(std::uint64_t generation);

    Clock clock_;
    std::unique_ptr<WakeUp> wakeUp_;
    QObject mainThreadContext_;  // receives the posted ticks; its pending ticks die with it
    std::optional<TimePoint> startTime_;
    std::optional<TimePoint> stopTime_;
    std::optional<Coordinates> sunPlace_;
    bool running_ = false;
    std::uint64_t generation_ = 0;
};

}  // namespace lunaveil
