// The schedule: the ticker's delivery guarantees, the system wake-up, and whole simulated days
// through the real monitor and the hub, a clock the test moves a minute at a time, across midnight
// and the daylight-saving changes of two time zones.

#include "support/FakeWakeUp.h"
#include "support/HubFixture.h"
#include "support/SpinEventLoop.h"
#include "schedule/DateTimeMonitor.h"
#include "schedule/SunTimes.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <time.h>
#include <unistd.h>

using namespace lunaveil;
using namespace lunaveil::testing;
using lunaveil::test::spinUntil;
using namespace std::chrono_literals;

namespace {

constexpr int at(int hour, int minute) { return hour * 60 + minute; }

// The first tick comes after startTimer (the caller installs callbacks then); a clock set by hand
// is looked at at once; nothing arrives after a stop, not even a tick already posted or due.
TEST(Ticker, TicksAtTheStartLooksAgainWhenTheClockIsSetAndNeverAfterAStop)
{
    TimePoint now = DateTimeMonitor::dateFromComponents(23, 0);
    FakeWakeUp* wakeUp = nullptr;  // owned by the monitor
    DateTimeMonitor monitor([&now] { return now; }, HubFixture::own(wakeUp));
    int during = 0, outside = 0;
    monitor.onDuringInterval = [&during] { ++during; };
    monitor.onOutsideInterval = [&outside] { ++outside; };
    const auto start = [&monitor] {
        monitor.startTimer(DateTimeMonitor::dateFromComponents(22, 0), DateTimeMonitor::dateFromComponents(7, 0));
    };
    start();
    monitor.stopTimer();  // the first tick is already queued for the main thread
    QCoreApplication::processEvents();
    EXPECT_EQ(during + outside, 0);
    EXPECT_FALSE(wakeUp->deadline) << "a stopped monitor keeps no wake-up";

    start();
    EXPECT_EQ(during + outside, 0);
    ASSERT_TRUE(spinUntil([&] { return during == 1; }));
    EXPECT_EQ(localMinuteOfDay(*wakeUp->deadline), 0) << "23:00 inside: next comes midnight, then 07:00";
    now = DateTimeMonitor::dateFromComponents(12, 0);  // set back by hand
    wakeUp->clockChanged();
    EXPECT_EQ(outside, 1);
    const TimePoint due = *wakeUp->deadline;
    EXPECT_EQ(localMinuteOfDay(due), 22 * 60);
    monitor.stopTimer();
    wakeUp->deadline = due;  // as if it rang in the same moment
    wakeUp->advanceTo(due);
    wakeUp->clockChanged();
    EXPECT_EQ(during + outside, 2);

    start();
    start();  // twice: one first tick
    QCoreApplication::processEvents();
    EXPECT_EQ(outside, 2);
}

// A real timerfd and zone watch: a wake-up due now, a replaced /etc/localtime and a setting of the
// clock, each within a second.
TEST(SystemWakeUp, RingsWhenDueWhenTheTimeZoneChangesAndWhenTheClockIsSet)
{
    const QTemporaryDir folder;
    const std::filesystem::path zone = std::filesystem::path(folder.path().toStdString()) / "localtime";
    std::ofstream(zone) << "one";
    const auto wakeUp = makeSystemWakeUp(zone);
    int rings = 0;
    wakeUp->onWake = [&] { ++rings; };
    wakeUp->at(systemNow() + 50ms);
    EXPECT_TRUE(spinUntil([&] { return rings == 1; }, 1s));
    wakeUp->at(systemNow() + 1h);
    // Replaced as a zone is set, by a rename over it; a second time too.
    const auto setZone = [&](const char* name) {
        std::ofstream(zone.string() + ".new") << name;
        std::filesystem::rename(zone.string() + ".new", zone);
    };
    for (const char* name : {"two", "three"}) {
        const int before = rings;
        setZone(name);
        EXPECT_TRUE(spinUntil([&] { return rings > before; }, 1s)) << "the time zone's change to " << name;
        spinUntil([] { return false; }, 100ms);  // the rename's every event
    }
    // The clock set, to the time it shows (a setting all the same to the kernel); only root may.
    if (::geteuid() == 0) {
        const int before = rings;
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        ASSERT_EQ(::clock_settime(CLOCK_REALTIME, &now), 0);
        EXPECT_TRUE(spinUntil([&] { return rings > before; }, 1s)) << "the clock's setting";
    }
}

TimePoint localTime(int year, int month, int day, int hour, int minute)
{
    std::tm local{.tm_sec = 0, .tm_min = minute, .tm_hour = hour, .tm_mday = day, .tm_mon = month - 1,
                  .tm_year = year - 1900, .tm_wday = 0, .tm_yday = 0, .tm_isdst = -1, .tm_gmtoff = 0, .tm_zone = nullptr};
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// The test sets its zones in TZ; the previous one comes back afterwards.
struct ScheduledDays : HubFixture {
    void TearDown() override
    {
        hub.reset();
        previousZone_ ? ::setenv("TZ", previousZone_->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }

    // A hub whose schedule runs on the real monitor, reading the test's clock.
    void startHub(int startHour, int startMinute, int stopHour, int stopMinute, TimePoint from,
                  std::optional<Coordinates> sunAt = std::nullopt)
    {
        now_ = from;
        settings().setFirstTimeOpened(true);
        settings().setScheduleIsActive(true, localTime(2026, 1, 15, startHour, startMinute),
                                       localTime(2026, 1, 15, stopHour, stopMinute));
        settings().setScheduleFollowsSun(sunAt.has_value());
        located = PlaceAnswer{sunAt};
        HubServices made = services();
        made.makeScheduleMonitor = [this] {
            // The monitor sleeps until its next wake-up; the test's clock rings it.
            return std::make_unique<DateTimeMonitor>([this] { return now_; }, own(wakeUp_));
        };
        start(made);
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
            ASSERT_EQ(dimmer->running, expected(localMinuteOfDay(now_))) << "at " << std::ctime(&t);
        }
    }

    const std::optional<std::string> previousZone_ =
        std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
    TimePoint now_;
    FakeWakeUp* wakeUp_ = nullptr;
};

// Three days around each clock change of two zones, by fixed times and then sunset to sunrise.
TEST_F(ScheduledDays, TheTintFollowsTheLocalClockAcrossMidnightAndBothClockChanges)
{
    const struct {
        const char* name;
        int springMonth, springDay, autumnMonth, autumnDay;  // the days clocks go forward and back
        Coordinates place;                                   // the zone's city
    } zones[] = {{"Europe/Berlin", 3, 29, 10, 25, {52.52, 13.405}}, {"America/New_York", 3, 8, 11, 1, {40.7128, -74.006}}};
    for (const auto& zone : zones) {
        ::setenv("TZ", zone.name, 1);
        ::tzset();
        for (const bool followsSun : {false, true}) {
            for (const auto& [month, day] :
                 {std::pair{zone.springMonth, zone.springDay}, std::pair{zone.autumnMonth, zone.autumnDay}}) {
                SCOPED_TRACE(::testing::Message() << zone.name << " " << month << (followsSun ? " following the sun" : ""));
                const TimePoint from = localTime(2026, month, day - 1, 12, 0);
                startHub(22, 0, 7, 0, from, followsSun ? std::optional(zone.place) : std::nullopt);
                walk(from, 3 * 24 * 60, [&](int minute) {
                    const SunDay sun = sunDayAt(zone.place, now_);
                    return followsSun ? now_ < sun.sunrise || now_ >= sun.sunset : minute >= at(22, 0) || minute < at(7, 0);
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
}

}  // namespace
