// The schedule over whole simulated days: the real monitor and the hub, a clock the test moves a
// minute at a time, across midnight and the daylight-saving changes of two time zones.

#include "support/FakeWakeUp.h"
#include "support/HubFakes.h"
#include "schedule/DateTimeMonitor.h"
#include "schedule/ScheduleInterval.h"
#include "schedule/SunTimes.h"
#include "shell/PresetersMainHub.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace lunaveil;
using namespace lunaveil::testing;
using namespace std::chrono_literals;

namespace {

constexpr int at(int hour, int minute) { return hour * 60 + minute; }

TimePoint localTime(int year, int month, int day, int hour, int minute)
{
    std::tm local{.tm_sec = 0, .tm_min = minute, .tm_hour = hour, .tm_mday = day, .tm_mon = month - 1,
                  .tm_year = year - 1900, .tm_wday = 0, .tm_yday = 0, .tm_isdst = -1, .tm_gmtoff = 0, .tm_zone = nullptr};
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

struct Zone {
    const char* name;
    int springMonth, springDay;  // the day clocks go forward
    int autumnMonth, autumnDay;  // the day they go back
    Coordinates place;           // the zone's city
};

class ScheduledDays : public ::testing::TestWithParam<Zone> {
protected:
    // Runs the test in the zone, and gives the previous one back afterwards.
    void SetUp() override
    {
        if (const char* current = std::getenv("TZ"))
            previousZone_ = current;
        ::setenv("TZ", GetParam().name, 1);
        ::tzset();
    }
    void TearDown() override
    {
        hub_.reset();
        previousZone_ ? ::setenv("TZ", previousZone_->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }

    // A hub whose schedule runs on the real monitor, reading the test's clock.
    void startHub(int startHour, int startMinute, int stopHour, int stopMinute, TimePoint from,
                  std::optional<Coordinates> sunAt = std::nullopt)
    {
        now_ = from;
        const std::filesystem::path file = std::filesystem::path(dir_.path().toStdString()) / "s.json";
        SettingsDataAccess settings(file);
        settings.setFirstTimeOpened(true);
        settings.setScheduleIsActive(true, localTime(2026, 1, 15, startHour, startMinute),
                                     localTime(2026, 1, 15, stopHour, stopMinute));
        settings.setScheduleFollowsSun(sunAt.has_value());
        HubServices services;
        services.locate = [sunAt] { return PlaceAnswer{sunAt}; };
        services.makeSettings = [file] { return std::make_unique<SettingsDataAccess>(file); };
        services.makeDimmer = [this] { return std::unique_ptr<FakeDimmer>(dimmer_ = new FakeDimmer); };
        services.makeScheduleMonitor = [this] {
            // The monitor sleeps until its next wake-up; the test's clock rings it.
            return std::make_unique<DateTimeMonitor>([this] { return now_; }, std::unique_ptr<FakeWakeUp>(wakeUp_ = new FakeWakeUp));
        };
        hub_ = std::make_unique<PresetersMainHub>(services);
        hub_->startService();
        QCoreApplication::processEvents();
    }

    // Walks minute by minute from `from` for `minutes`, checking the tint at each against `expected`.
    void walk(TimePoint from, int minutes, const std::function<bool(int localMinute)>& expected)
    {
        for (int i = 0; i < minutes; ++i) {
            now_ = from + std::chrono::minutes(i);
            wakeUp_->advanceTo(now_);
            QCoreApplication::processEvents();
            const std::time_t t = std::chrono::system_clock::to_time_t(now_);
            ASSERT_EQ(dimmer_->running, expected(localMinuteOfDay(now_))) << "at " << std::ctime(&t);
        }
    }

    std::optional<std::string> previousZone_;
    QTemporaryDir dir_;
    TimePoint now_;
    FakeDimmer* dimmer_ = nullptr;
    FakeWakeUp* wakeUp_ = nullptr;
    std::unique_ptr<PresetersMainHub> hub_;
};

TEST_P(ScheduledDays, TheTintFollowsTheLocalClockAcrossMidnightAndBothClockChanges)
{
    const Zone zone = GetParam();
    // Three days around each change: fixed times, then sunset to sunrise, each day's own.
    for (const bool followsSun : {false, true}) {
        for (const auto& [month, day] :
             {std::pair{zone.springMonth, zone.springDay}, std::pair{zone.autumnMonth, zone.autumnDay}}) {
            SCOPED_TRACE(::testing::Message() << month << (followsSun ? " following the sun" : ""));
            const TimePoint from = localTime(2026, month, day - 1, 12, 0);
            startHub(22, 0, 7, 0, from, followsSun ? std::optional(zone.place) : std::nullopt);
            walk(from, 3 * 24 * 60, [&](int minute) {
                const SunDay sun = sunDayAt(zone.place, now_);
                return followsSun ? now_ < sun.sunrise || now_ >= sun.sunset : isInsideInterval(at(22, 0), at(7, 0), minute);
            });
            if (!followsSun) {  // a start, a stop and a midnight each day, and the clock change
                EXPECT_LE(wakeUp_->rings, 3 * 3 + 1) << "the monitor woke with nothing to do";
            }
        }
    }

    // A start inside the hour the spring change skips takes effect when the clock jumps.
    const TimePoint night = localTime(2026, zone.springMonth, zone.springDay, 0, 0);
    startHub(2, 30, 6, 0, night);
    walk(night, 8 * 60, [](int minute) { return minute >= at(3, 0) && minute < at(6, 0); });
}

void PrintTo(const Zone& zone, std::ostream* out)
{
    *out << zone.name;
}

INSTANTIATE_TEST_SUITE_P(Zones, ScheduledDays,
                         ::testing::Values(Zone{"Europe/Berlin", 3, 29, 10, 25, {52.52, 13.405}},
                                           Zone{"America/New_York", 3, 8, 11, 1, {40.7128, -74.006}}),
                         [](const auto& info) { return info.param.name[0] == 'E' ? "Berlin" : "NewYork"; });

}  // namespace
