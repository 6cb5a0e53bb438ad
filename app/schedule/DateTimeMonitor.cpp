#include "DateTimeMonitor.h"

#include "schedule/ScheduleInterval.h"
#include "schedule/SunTimes.h"

#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;

std::tm localOf(TimePoint when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

// `days` after the local date of `day` at hour:minute; the zone's rules decide its offset.
TimePoint localTimeOfDay(const std::tm& day, int days, int hour, int minute)
{
    std::tm local = day;
    local.tm_mday += days;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// The first minute after `from`, up to `until`, at which the zone's offset differs from `from`'s;
// `until` when it does not change meanwhile. Offsets change on whole minutes.
TimePoint nextOffsetChange(TimePoint from, TimePoint until)
{
    const long offset = localOf(from).tm_gmtoff;
    if (localOf(until).tm_gmtoff == offset)
        return until;
    auto low = std::chrono::floor<std::chrono::minutes>(from);
    auto high = std::chrono::ceil<std::chrono::minutes>(until);
    while (high - low > 1min) {
        const auto middle = low + (high - low) / 2;
        (localOf(middle).tm_gmtoff == offset ? low : high) = middle;
    }
    return high;
}

}  // namespace

DateTimeMonitor::DateTimeMonitor(Clock clock, std::unique_ptr<WakeUp> wakeUp)
    : clock_(std::move(clock)), wakeUp_(std::move(wakeUp))
{
    wakeUp_->onWake = [this] { tick(generation_); };
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
    this->start();
}

void DateTimeMonitor::startTimerFollowingSun(const Coordinates& place)
{
    stopTimer();
    sunPlace_ = place;
    start();
}

void DateTimeMonitor::start()
{
    running_ = true;
    postTick(generation_);
}

void DateTimeMonitor::stopTimer()
{
    if (!running_)
        return;
    running_ = false;
    ++generation_;  // ticks already on their way now find themselves outdated
    wakeUp_->cancel();
}

void DateTimeMonitor::timeTick()
{
    if (running_)
        postTick(generation_);
}

void DateTimeMonitor::postTick(std::uint64_t generation)
{
    QMetaObject::invokeMethod(&mainThreadContext_, [this, generation] { tick(generation); }, Qt::QueuedConnection);
}

TimePoint DateTimeMonitor::nextWakeUp(TimePoint now) const
{
    const std::tm today = localOf(now);
    TimePoint next = localTimeOfDay(today, 1, 0, 0);  // the next day's own sun, or the interval's minutes on it
    const auto consider = [&](TimePoint when) {
        if (when > now)
            next = std::min(next, when);
    };
    if (sunPlace_) {
        const SunDay sun = sunDayAt(*sunPlace_, now);
        if (sun.kind == SunDay::Kind::RiseAndSet) {
            consider(sun.sunrise);
            consider(sun.sunset);
        }
    } else if (startTime_ && stopTime_) {
        for (const TimePoint boundary : {*startTime_, *stopTime_}) {
            const int minute = localMinuteOfDay(boundary);
            for (const int days : {0, 1})
                consider(localTimeOfDay(today, days, minute / 60, minute % 60));
        }
    }
    // A clock change moves every local minute: a boundary it skips counts from the change.
    return nextOffsetChange(now, next);
}

void DateTimeMonitor::tick(std::uint64_t generation)
{
    if (generation != generation_ || !running_)
        return;
    // A time zone changed meanwhile (/etc/localtime replaced) counts from this tick on.
    ::tzset();
    const TimePoint now = clock_();
    bool inside = false;
    if (sunPlace_)
        inside = isNightAt(*sunPlace_, now);
    else if (startTime_ && stopTime_)
        inside = isInsideInterval(localMinuteOfDay(*startTime_), localMinuteOfDay(*stopTime_), localMinuteOfDay(now));
    wakeUp_->at(nextWakeUp(now));
    // A copy: the callback may replace itself, or stop the monitor, while it runs.
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
