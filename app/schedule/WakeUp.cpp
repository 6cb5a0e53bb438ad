#include "schedule/WakeUp.h"

#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sys/timerfd.h>
#include <unistd.h>

namespace lunaveil {
namespace {

Q_LOGGING_CATEGORY(lcSchedule, "lunaveil.schedule")

class SystemWakeUp final : public WakeUp {
public:
    explicit SystemWakeUp(std::filesystem::path localTime)
        : fd_(::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC)), localTime_(std::move(localTime))
    {
        if (fd_ < 0) {
            qCWarning(lcSchedule) << "no timerfd, so the schedule looks at the clock every minute:" << std::strerror(errno);
            fallback_.setSingleShot(true);
            QObject::connect(&fallback_, &QTimer::timeout, &fallback_, [this] { fallbackDue(); });
        } else {
            notifier_.emplace(fd_, QSocketNotifier::Read);
            QObject::connect(&*notifier_, &QSocketNotifier::activated, &*notifier_, [this] { expired(); });
        }
        watchTimeZone();
        QObject::connect(&zoneWatch_, &QFileSystemWatcher::fileChanged, &zoneWatch_, [this] {
            watchTimeZone();  // replaced by a rename, the file is watched no more
            wake();
        });
    }
    ~SystemWakeUp() override
    {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
    }

    void at(TimePoint when) override
    {
        deadline_ = when;
        if (fd_ < 0) {
            fallbackDue();
            return;
        }
        const auto since = when.time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        itimerspec timer{};
        timer.it_value.tv_sec = std::max<std::int64_t>(seconds.count(), 0);
        timer.it_value.tv_nsec = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count();
        if (timer.it_value.tv_sec == 0 && timer.it_value.tv_nsec == 0)
            timer.it_value.tv_nsec = 1;  // zero would disarm it
        ::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &timer, nullptr);
    }

    void cancel() override
    {
        deadline_.reset();
        if (fd_ >= 0) {
            const itimerspec disarm{};
            ::timerfd_settime(fd_, 0, &disarm, nullptr);
        } else {
            fallback_.stop();
        }
    }

private:
    // Expired, or cancelled by a setting of the clock (ECANCELED): either way the schedule looks.
    void expired()
    {
        std::uint64_t count = 0;
        if (::read(fd_, &count, sizeof count) < 0 && errno == EAGAIN)
            return;
        wake();
    }

    void fallbackDue()
    {
        if (!deadline_)
            return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - systemNow());
        if (left.count() <= 0) {
            wake();
            return;
        }
        fallback_.start(std::min(left, std::chrono::milliseconds(std::chrono::minutes(1))));
    }

    void wake()
    {
        if (!deadline_)
            return;
        if (const auto callback = onWake)
            callback();
    }

    void watchTimeZone()
    {
        if (!zoneWatch_.files().contains(QString::fromStdString(localTime_.string())))
            zoneWatch_.addPath(QString::fromStdString(localTime_.string()));
    }

    int fd_;
    std::filesystem::path localTime_;
    std::optional<QSocketNotifier> notifier_;
    QTimer fallback_;
    QFileSystemWatcher zoneWatch_;
    std::optional<TimePoint> deadline_;
};

}  // namespace

std::unique_ptr<WakeUp> makeSystemWakeUp(std::filesystem::path localTime)
{
    return std::make_unique<SystemWakeUp>(std::move(localTime));
}

}  // namespace lunaveil
