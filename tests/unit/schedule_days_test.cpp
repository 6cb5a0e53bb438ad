// The schedule over whole simulated days: the real monitor and the hub, a clock the test moves a
// minute at a time, across midnight and the daylight-saving changes of two time zones.

#include "fakes/HubFakes.h"
#include "schedule/DateTimeMonitor.h"
#include "schedule/ScheduleInterval.h"
#include "shell/PresetersMainHub.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace lunaveil;
using namespace lunaveil::testing;
using namespace std::chrono_literals;

namespace {

// Runs the test in a time zone and gives the previous one back afterwards.
class TimeZone {
public:
    explicit TimeZone(const char* zone)
    {
        if (const char* current = std::getenv("TZ"))
            previous_ = current;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone()
    {
        if (previous_)
            ::setenv("TZ", previous_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> previous_;
};

TimePoint localTime(int year, int month, int day, int hour, int minute)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

struct Zone {
    const char* name;
    int springMonth, springDay;  // the day clocks go forward
    int autumnMonth, autumnDay;  // the day they go back
};

class ScheduledDays : public ::testing::TestWithParam<Zone> {
protected:
    void SetUp() override { zone_.emplace(GetParam().name); }

    // A hub whose schedule runs on the real monitor, reading the test's clock.
    void startHub(int startHour, int startMinute, int stopHour, int stopMinute, TimePoint from)
    {
        now_ = from;
        SettingsDataAccess settings(std::filesystem::path(dir_.path().toStdString()) / "s.json");
        settings.setFirstTimeOpened(true);
        settings.setScheduleIsActive(true, localTime(2026, 1, 15, startHour, startMinute),
                                     localTime(2026, 1, 15, stopHour, stopMinute));
        HubServices services;
        services.makeSettings = [this] {
            return std::make_unique<SettingsDataAccess>(std::filesystem::path(dir_.path().toStdString()) / "s.json");
        };
        services.makeDimmer = [this] {
            auto made = std::make_unique<FakeDimmer>(log_);
            dimmer_ = made.get();
            return made;
        };
        services.makeScheduleMonitor = [this] {
            // The ticker's own ticks come once an hour of real time; the test ticks every simulated minute.
            auto made = std::make_unique<DateTimeMonitor>([this] { return now_; }, 1h);
            monitor_ = made.get();
            return made;
        };
        hub_ = std::make_unique<PresetersMainHub>(services);
        hub_->startService();
        QCoreApplication::processEvents();
    }

    void tickAt(TimePoint when)
    {
        now_ = when;
        monitor_->timeTick();
        QCoreApplication::processEvents();
    }

    // Walks minute by minute from `from` for `minutes`, checking the tint at each against `expected`.
    void walk(TimePoint from, int minutes, const std::function<bool(int localMinute)>& expected)
    {
        for (int i = 0; i < minutes; ++i) {
            const TimePoint when = from + std::chrono::minutes(i);
            tickAt(when);
            const std::time_t t = std::chrono::system_clock::to_time_t(when);
            ASSERT_EQ(dimmer_->running, expected(localMinuteOfDay(when))) << "at " << std::ctime(&t);
        }
    }

    std::optional<TimeZone> zone_;
    QTemporaryDir dir_;
    CallLog log_;
    TimePoint now_;
    FakeDimmer* dimmer_ = nullptr;
    DateTimeMonitor* monitor_ = nullptr;
    std::unique_ptr<PresetersMainHub> hub_;
};

constexpr int at(int hour, int minute) { return hour * 60 + minute; }

TEST_P(ScheduledDays, TheTintFollowsTheLocalClockAcrossMidnightAndBothClockChanges)
{
    const Zone zone = GetParam();
    for (const auto& [month, day] : {std::pair{zone.springMonth, zone.springDay}, std::pair{zone.autumnMonth, zone.autumnDay}}) {
        SCOPED_TRACE(month);
        const TimePoint from = localTime(2026, month, day - 1, 12, 0);
        startHub(22, 0, 7, 0, from);
        walk(from, 3 * 24 * 60, [](int minute) { return isInsideInterval(at(22, 0), at(7, 0), minute); });
    }
}

TEST_P(ScheduledDays, AStartInsideTheSkippedHourTakesEffectWhenTheClockJumps)
{
    const Zone zone = GetParam();
    const TimePoint from = localTime(2026, zone.springMonth, zone.springDay, 0, 0);
    startHub(2, 30, 6, 0, from);
    walk(from, 8 * 60, [](int minute) { return minute >= at(3, 0) && minute < at(6, 0); });
}

TEST_P(ScheduledDays, TheUsersSwitchHoldsUntilTheNextBoundary)
{
    const TimePoint evening = localTime(2026, 6, 10, 21, 0);
    startHub(22, 0, 7, 0, evening);
    walk(evening, 120, [](int minute) { return minute >= at(22, 0); });  // on at 22:00
    hub_->onLightMonitorNowChanged(false);                               // 23:00, off by hand
    walk(evening + 2h, 8 * 60, [](int) { return false; });               // stays off through the night
    walk(localTime(2026, 6, 11, 7, 0), 16 * 60, [](int minute) { return minute >= at(22, 0); });  // on again

    hub_->onLightMonitorNowChanged(false);  // 23:00 the next night: off by hand
    hub_->onLightMonitorNowChanged(true);   // and on again, by hand
    // ... holds through the night, and the morning boundary ends it all the same.
    walk(localTime(2026, 6, 11, 23, 0), 8 * 60 + 1, [](int minute) { return minute < at(7, 0) || minute >= at(23, 0); });
}

INSTANTIATE_TEST_SUITE_P(Zones, ScheduledDays,
                         ::testing::Values(Zone{"Europe/Berlin", 3, 29, 10, 25}, Zone{"America/New_York", 3, 8, 11, 1}),
                         [](const auto& info) { return std::string(info.param.name).starts_with("Europe") ? "Berlin" : "NewYork"; });

void PrintTo(const Zone& zone, std::ostream* out)
{
    *out << zone.name;
}

}  // namespace
