// The schedule: which minutes lie inside the interval, and the ticker's delivery guarantees.

#include "schedule/DateTimeMonitor.h"
#include "schedule/ScheduleInterval.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace lunaveil;
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

void spinFor(std::chrono::milliseconds duration)
{
    spinUntil([] { return false; }, duration);
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
    void start()
    {
        monitor.startTimer(DateTimeMonitor::dateFromComponents(22, 0), DateTimeMonitor::dateFromComponents(7, 0));
    }
};

TEST_F(Ticker, PostsTheFirstTickAndReadsTheClockAnewAtEach)
{
    start();
    EXPECT_EQ(during + outside, 0) << "the caller installs callbacks after startTimer";
    EXPECT_TRUE(spinUntil([&] { return during > 0; }));
    EXPECT_EQ(outside, 0);
    now = DateTimeMonitor::dateFromComponents(12, 0);
    EXPECT_TRUE(spinUntil([&] { return outside > 0; }));
}

TEST_F(Ticker, NothingArrivesAfterStopNotEvenATickAlreadyPosted)
{
    start();
    monitor.stopTimer();  // the first tick is already queued for the main thread
    spinFor(150ms);
    EXPECT_EQ(during + outside, 0);

    start();
    ASSERT_TRUE(spinUntil([&] { return during >= 2; }));
    monitor.stopTimer();
    const int seen = during;
    spinFor(150ms);
    EXPECT_EQ(during, seen);

    // Nor after the monitor is gone.
    auto doomed = std::make_unique<DateTimeMonitor>([this] { return now; }, 20ms);
    doomed->onDuringInterval = [this] { ++during; };
    doomed->startTimer(DateTimeMonitor::dateFromComponents(22, 0), DateTimeMonitor::dateFromComponents(7, 0));
    doomed.reset();
    spinFor(100ms);
    EXPECT_EQ(during, seen);
}

TEST_F(Ticker, StartingTwiceLeavesOneTicker)
{
    start();
    start();
    QElapsedTimer elapsed;
    elapsed.start();
    spinFor(400ms);
    monitor.stopTimer();
    // One ticker gives at most one tick per period (plus the first); two would give twice as many.
    EXPECT_GT(during, 0);
    EXPECT_LE(during, elapsed.elapsed() / 20 + 2);
}

}  // namespace
