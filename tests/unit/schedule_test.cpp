// The schedule: which minutes lie inside the interval, and the ticker's delivery guarantees.

#include "support/FakeWakeUp.h"
#include "support/SpinEventLoop.h"
#include "schedule/DateTimeMonitor.h"
#include "schedule/ScheduleInterval.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

using namespace lunaveil;
using lunaveil::testing::FakeWakeUp;
using lunaveil::test::spinUntil;
using namespace std::chrono_literals;

namespace {

constexpr int at(int hour, int minute) { return hour * 60 + minute; }

// Inside from the start minute up to, not including, the stop minute; across midnight too.
TEST(ScheduleInterval, MinutesOfTheDay)
{
    struct {
        int start, stop;
        std::vector<int> inside, outside;
    } const cases[] = {
        {at(22, 0), at(7, 0), {at(22, 0), at(0, 0), at(6, 59)}, {at(7, 0), at(12, 0), at(21, 59)}},
        {at(8, 0), at(18, 0), {at(8, 0), at(17, 59)}, {at(18, 0), at(7, 59)}},
        {at(9, 15), at(9, 15), {}, {at(9, 15), at(0, 0)}},
    };
    for (const auto& c : cases) {
        for (int now : c.inside)
            EXPECT_TRUE(isInsideInterval(c.start, c.stop, now)) << c.start << "→" << c.stop << " at " << now;
        for (int now : c.outside)
            EXPECT_FALSE(isInsideInterval(c.start, c.stop, now)) << c.start << "→" << c.stop << " at " << now;
    }
}

class Ticker : public ::testing::Test {
protected:
    TimePoint now = DateTimeMonitor::dateFromComponents(23, 0);
    std::unique_ptr<FakeWakeUp> made = std::make_unique<FakeWakeUp>();
    FakeWakeUp* wakeUp = made.get();  // owned by the monitor
    DateTimeMonitor monitor{[this] { return now; }, std::move(made)};
    int during = 0;
    int outside = 0;

    void SetUp() override
    {
        monitor.onDuringInterval = [this] { ++during; };
        monitor.onOutsideInterval = [this] { ++outside; };
    }
    void start()
    {
        monitor.startTimer(DateTimeMonitor::dateFromComponents(22, 0), DateTimeMonitor::dateFromComponents(7, 0));
    }
};

// The first tick comes after startTimer (the caller installs callbacks then); a clock set by hand
// is looked at at once; nothing arrives after a stop, not even a tick already posted or due.
TEST_F(Ticker, TicksAtTheStartLooksAgainWhenTheClockIsSetAndNeverAfterAStop)
{
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

// A real timerfd and zone watch: a wake-up due now, and a replaced /etc/localtime, each within a second.
TEST(SystemWakeUp, RingsWhenDueAndWhenTheTimeZoneChanges)
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
    const auto ringsForZone = [&](const char* name) {
        const int before = rings;
        setZone(name);
        const bool rang = spinUntil([&] { return rings > before; }, 1s);
        spinUntil([] { return false; }, 100ms);  // the rename's every event
        return rang;
    };
    EXPECT_TRUE(ringsForZone("two")) << "the time zone's change";
    EXPECT_TRUE(ringsForZone("three")) << "the next change";
    wakeUp->cancel();
    const int rung = rings;
    setZone("four");
    spinUntil([] { return false; }, 200ms);
    EXPECT_EQ(rings, rung) << "a cancelled wake-up stays quiet";
}

}  // namespace
