#include "QtScheduler.h"

#include <QTimer>

namespace lunaveil {
namespace {

class QtTimer final : public Timer {
public:
    QtTimer(std::chrono::milliseconds interval, bool repeats, std::function<void()> action)
    {
        timer_.setInterval(interval);
        timer_.setSingleShot(!repeats);
        timer_.setTimerType(Qt::CoarseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(action));
        timer_.start();
    }
    void invalidate() override { timer_.stop(); }

private:
    QTimer timer_;
};

}  // namespace

std::unique_ptr<Timer> QtScheduler::schedule(std::chrono::milliseconds interval, bool repeats,
                                             std::function<void()> action)
{
    return std::make_unique<QtTimer>(interval, repeats, std::move(action));
}

}  // namespace lunaveil
