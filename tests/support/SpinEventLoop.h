#pragma once
// Runs the Qt event loop in tests until a condition holds or a deadline passes.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace lunaveil::test {

// Processes events until `done` returns true or `timeout` passes; returns done()'s last answer.
// `done` is asked at least every 20 ms, so conditions that change outside this process
// (another program's X requests) are seen promptly too.
inline bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&timedOut] { timedOut = true; });
    deadline.start(timeout);
    QTimer poll;
    poll.start(std::chrono::milliseconds(20));
    // The answer that ended the wait: asking again could see a state that has moved on.
    bool reached = false;
    while (!(reached = done()) && !timedOut)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return reached;
}

// Processes events for `duration` and returns how many times the loop woke up: an idle
// loop wakes a handful of times, a busy-looping event source thousands.
inline int spinFor(std::chrono::milliseconds duration)
{
    bool over = false;
    QTimer::singleShot(duration, [&over] { over = true; });
    int wakeUps = 0;
    while (!over) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ++wakeUps;
    }
    return wakeUps;
}

}  // namespace lunaveil::test
