// The schedule: which minutes lie inside the interval, and the ticker's delivery guarantees.

#include "support/FakeWakeUp.h"
#include "schedule/DateTimeMonitor.h"
#include "schedule/ScheduleInterval.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

using namespace lunaveil;
using lunaveil::testing::FakeWakeUp;
using namespace std::chrono_literals;

namespace {

constexpr int at(int hour, int minute) { return hour * 60 + minute; }

TEST(ScheduleInterval, MinutesOfTheDay)
{
    struct {
        int start, stop;
        std::vector<int> inside, outside;
    } const cases[] = {
        {at(22, 0), at(7, 0), {at(22, 0), at(23, 30), at(0, 0), at(6, 59)}, {at(7, 0), at(12, 0), at(21, 59)}},
        {at(8, 0), at(18, 0), {at(8, 0), at(17, 59)}, {at(18, 0), at(7, 59), at(23, 0)}},
        {at(10, 30), at(10, 0), {at(11, 0), at(9, 0), at(10, 30)}, {at(10, 15), at(10, 0)}},
        {at(9, 15), at(9, 15), {}, {at(9, 15), at(9, 14), at(0, 0)}},
    };
    for (const auto& c : cases) {
        for (int now : c.inside)
            EXPECT_TRUE(isInsideInterval(c.start, c.stop, now)) << c.start << "→" << c.stop << " at " << now;
        for (int now : c.outside)
            EXPECT_FALSE(isInsideInterval(c.start, c.stop, now)) << c.start << "→" << c.stop << " at " << now;
    }
}

// Spins the event loop until `done` or `limit`; returns whether `done` came true.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limit.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
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

// The first tick, then sleep until the next boundary; a clock set by hand is looked at at once.
TEST_F(Ticker, TicksAtTheStartThenSleepsToEachBoundaryAndLooksAgainWhenTheClockIsSet)
{
    start();
    EXPECT_EQ(during + outside, 0) << "the caller installs callbacks after startTimer";
    EXPECT_TRUE(spinUntil([&] { return during > 0; }));
    ASSERT_TRUE(wakeUp->deadline);
    EXPECT_EQ(localMinuteOfDay(*wakeUp->deadline), 0) << "23:00 inside: next comes midnight, then 07:00";
    now = *wakeUp->deadline;
    wakeUp->advanceTo(now);
    EXPECT_EQ(localMinuteOfDay(*wakeUp->deadline), 7 * 60);
    EXPECT_EQ(during, 2);
    now = *wakeUp->deadline;
    wakeUp->advanceTo(now);
    EXPECT_EQ(outside, 1);
    EXPECT_EQ(localMinuteOfDay(*wakeUp->deadline), 22 * 60);

    now = DateTimeMonitor::dateFromComponents(23, 30);  // set forward by hand
    wakeUp->clockChanged();
    EXPECT_EQ(during, 3);
    now = DateTimeMonitor::dateFromComponents(12, 0);  // and back
    wakeUp->clockChanged();
    EXPECT_EQ(outside, 2);
}

TEST_F(Ticker, NothingArrivesAfterStopNotEvenATickAlreadyPostedOrDue)
{
    start();
    monitor.stopTimer();  // the first tick is already queued for the main thread
    QCoreApplication::processEvents();
    EXPECT_EQ(during + outside, 0);
    EXPECT_FALSE(wakeUp->deadline) << "a stopped monitor keeps no wake-up";

    start();
    ASSERT_TRUE(spinUntil([&] { return during == 1; }));
    const TimePoint due = *wakeUp->deadline;
    monitor.stopTimer();
    wakeUp->deadline = due;  // as if it rang in the same moment
    wakeUp->advanceTo(due);
    wakeUp->clockChanged();
    EXPECT_EQ(during + outside, 1);

    start();
    start();  // twice: one first tick
    QCoreApplication::processEvents();
    EXPECT_EQ(during, 2);
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
