// The schedule: which minutes lie inside the interval, and the ticker's delivery guarantees.

#include "schedule/DateTimeMonitor.h"
#include "schedule/ScheduleInterval.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace lunaveil;
using namespace std::chrono_literals;

namespace {

constexpr int at(int hour, int minute) { return hour * 60 + minute; }

struct IntervalCase {
    int start;
    int stop;
    std::vector<int> inside;
    std::vector<int> outside;
};

TEST(ScheduleInterval, MinutesOfTheDay)
{
    const IntervalCase cases[] = {
        {at(22, 0), at(7, 0), {at(22, 0), at(23, 30), at(3, 0), at(0, 0), at(6, 59)}, {at(7, 0), at(12, 0), at(21, 59)}},
        {at(8, 0), at(18, 0), {at(8, 0), at(17, 59)}, {at(18, 0), at(7, 59), at(23, 0)}},
        {at(20, 0), at(12, 0), {at(23, 0), at(9, 0), at(20, 0), at(11, 59)}, {at(12, 0), at(19, 59)}},
        {at(10, 30), at(10, 0), {at(11, 0), at(9, 0), at(10, 30)}, {at(10, 15), at(10, 0)}},
        {at(23, 0), at(11, 30), {at(11, 15), at(23, 0)}, {at(11, 45), at(12, 0)}},
        {at(10, 0), at(9, 0), {at(10, 0), at(8, 59), at(23, 59)}, {at(9, 0), at(9, 30)}},
        {at(9, 15), at(9, 15), {}, {at(9, 15), at(9, 14), at(0, 0)}},
    };
    for (const auto& c : cases) {
        for (int now : c.inside)
            EXPECT_TRUE(isInsideInterval(c.start, c.stop, now)) << c.start << "→" << c.stop << " at " << now;
        for (int now : c.outside)
            EXPECT_FALSE(isInsideInterval(c.start, c.stop, now)) << c.start << "→" << c.stop << " at " << now;
    }
}

// Spins the event loop until `done` or a generous deadline; returns whether `done` came true.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limit.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void spinFor(std::chrono::milliseconds duration)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class Ticker : public testing::Test {
protected:
    TimePoint now = DateTimeMonitor::dateFromComponents(23, 0);
    DateTimeMonitor monitor{[this] { return now; }, 20ms};
    int during = 0;
    int outside = 0;

    void SetUp() override
    {
        monitor.onDuringInterval = [this] { ++during; };
        monitor.onOutsideInterval = [this] { ++outside; };
    }
    void startDefaultSchedule()
    {
        monitor.startTimer(DateTimeMonitor::dateFromComponents(22, 0), DateTimeMonitor::dateFromComponents(7, 0));
    }
};

TEST_F(Ticker, FirstTickIsPostedNotRunInline)
{
    startDefaultSchedule();
    EXPECT_EQ(during + outside, 0) << "the caller installs callbacks after startTimer";
    EXPECT_TRUE(spinUntil([&] { return during > 0; }));
    EXPECT_EQ(outside, 0);
}

TEST_F(Ticker, EachTickReadsTheClockAndTheDatesAnew)
{
    startDefaultSchedule();
    ASSERT_TRUE(spinUntil([&] { return during > 0; }));
    now = DateTimeMonitor::dateFromComponents(12, 0);
    EXPECT_TRUE(spinUntil([&] { return outside > 0; }));
}

TEST_F(Ticker, NothingArrivesAfterStopNotEvenATickAlreadyPosted)
{
    startDefaultSchedule();
    monitor.stopTimer();  // the first tick is already queued for the main thread
    spinFor(150ms);
    EXPECT_EQ(during + outside, 0);

    startDefaultSchedule();
    ASSERT_TRUE(spinUntil([&] { return during >= 2; }));
    monitor.stopTimer();
    const int seen = during;
    spinFor(150ms);
    EXPECT_EQ(during, seen);
}

TEST_F(Ticker, StartingTwiceLeavesOneTicker)
{
    startDefaultSchedule();
    startDefaultSchedule();
    QElapsedTimer elapsed;
    elapsed.start();
    spinFor(400ms);
    monitor.stopTimer();
    // One ticker gives at most one tick per period (plus the first); two would give twice as many.
    const auto periods = elapsed.elapsed() / 20;
    EXPECT_GT(during, 0);
    EXPECT_LE(during, periods + 2);
}

TEST_F(Ticker, DestroyingARunningMonitorDropsItsPendingTicks)
{
    auto doomed = std::make_unique<DateTimeMonitor>([this] { return now; }, 20ms);
    int calls = 0;
    doomed->onDuringInterval = [&calls] { ++calls; };
    doomed->startTimer(DateTimeMonitor::dateFromComponents(22, 0), DateTimeMonitor::dateFromComponents(7, 0));
    doomed.reset();
    spinFor(100ms);
    EXPECT_EQ(calls, 0);
}

}  // namespace
