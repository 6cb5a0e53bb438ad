#include "DateTimeMonitor.h"

#include "schedule/ScheduleInterval.h"
#include "schedule/SunTimes.h"

#include <QMetaObject>
#include <condition_variable>
#include <ctime>
#include <mutex>

namespace lunaveil {

DateTimeMonitor::DateTimeMonitor(Clock clock, std::chrono::milliseconds period)
    : clock_(std::move(clock)), period_(period)
{
}

DateTimeMonitor::~DateTimeMonitor()
{
    stopTimer();
}

void DateTimeMonitor::startTimer(TimePoint start, TimePoint stop)
{
    stopTimer();
    startTime_ = start;
    stopTime_ = stop;
    sunPlace_.reset();
    startTicking();
}

void DateTimeMonitor::startTimerFollowingSun(const Coordinates& place)
{
    stopTimer();
    sunPlace_ = place;
    startTicking();
}

void DateTimeMonitor::startTicking()
{
    const std::uint64_t generation = generation_;
    systemTimer_ = std::jthread([this, generation](std::stop_token stopToken) {
        std::mutex mutex;
        std::condition_variable_any wakeUp;
        std::unique_lock lock(mutex);
        while (!stopToken.stop_requested()) {
            postTick(generation);
            wakeUp.wait_for(lock, stopToken, period_, [] { return false; });
        }
    });
}

void DateTimeMonitor::stopTimer()
{
    if (!systemTimer_.joinable())
        return;
    ++generation_;  // ticks already on their way now find themselves outdated
    systemTimer_.request_stop();
    systemTimer_.join();
}

void DateTimeMonitor::timeTick()
{
    if (systemTimer_.joinable())
        postTick(generation_);
}

void DateTimeMonitor::postTick(std::uint64_t generation)
{
    QMetaObject::invokeMethod(&mainThreadContext_, [this, generation] { tick(generation); }, Qt::QueuedConnection);
}

void DateTimeMonitor::tick(std::uint64_t generation)
{
    if (generation != generation_)
        return;
    bool inside = false;
    if (sunPlace_) {
        // A time zone changed meanwhile (/etc/localtime replaced) counts from this tick on.
        ::tzset();
        inside = isNightAt(*sunPlace_, clock_());  // each day's own sun: a new day, a clock change, a move of zone
    }
    else if (startTime_ && stopTime_)
        inside = isInsideInterval(localMinuteOfDay(*startTime_), localMinuteOfDay(*stopTime_), localMinuteOfDay(clock_()));
    else
        return;
    // A copy: the callback may replace itself while it runs.
    if (const auto callback = inside ? onDuringInterval : onOutsideInterval)
        callback();
}

TimePoint DateTimeMonitor::dateFromComponents(int hour, int minute)
{
    const TimePoint now = systemNow();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = 0;
    local.tm_isdst = -1;  // let the zone's rules decide on the day of a clock change
    const std::time_t made = std::mktime(&local);
    return made == static_cast<std::time_t>(-1) ? now : std::chrono::system_clock::from_time_t(made);
}

}  // namespace lunaveil
