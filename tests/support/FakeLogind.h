#pragma once
// Stands in for logind's session object on a test bus and records the SetBrightness calls it gets.

#include "support/ServedOnThread.h"

#include <QDBusContext>
#include <QDBusError>
#include <QList>

#include <mutex>

namespace lunaveil::test {

class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")

public:
    struct Call {
        QString subsystem;
        QString name;
        uint brightness = 0;
        friend bool operator==(const Call&, const Call&) = default;
    };
    enum class Answer { Accept, Refuse, Never };

    // Calls for the device named are answered so; the others are accepted.
    FakeLogind(const QString& busAddress, const QString& device = {}, Answer answer = Answer::Accept)
        : answered_(device), answer_(answer),
          served(*this, busAddress, QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1/session/auto"))
    {
    }
    QList<Call> calls() const
    {
        const std::scoped_lock lock(mutex_);
        return calls_;
    }

public Q_SLOTS:
    void SetBrightness(const QString& subsystem, const QString& name, uint brightness)
    {
        const std::scoped_lock lock(mutex_);
        calls_.append({subsystem, name, brightness});
        const Answer answer = name == answered_ ? answer_ : Answer::Accept;
        if (answer == Answer::Refuse)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Not allowed in this session"));
        else if (answer == Answer::Never)
            setDelayedReply(true);  // and no reply follows: the caller waits for its timeout
    }

private:
    const QString answered_;
    const Answer answer_;
    mutable std::mutex mutex_;
    QList<Call> calls_;

public:
    const ServedOnThread served;  // last, so gone first: no call reaches the state above as it goes
};

}  // namespace lunaveil::test
