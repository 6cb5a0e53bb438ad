#pragma once
// Stands in for logind's session object on a test bus and records the SetBrightness calls it gets.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

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

    // Owns org.freedesktop.login1 on the bus at `busAddress`, serving its session/auto object from
    // a thread of its own, so a caller on the main thread may block on it.
    explicit FakeLogind(const QString& busAddress)
        : connection_(QDBusConnection::connectToBus(busAddress, connectionName))
    {
        thread_.start();
        moveToThread(&thread_);
        registered_ = connection_.registerObject(sessionPath, this, QDBusConnection::ExportAllSlots)
                      && connection_.registerService(serviceName);
    }
    ~FakeLogind() override
    {
        connection_.unregisterService(serviceName);
        connection_.unregisterObject(sessionPath);
        QDBusConnection::disconnectFromBus(connectionName);
        thread_.quit();
        thread_.wait();
    }

    bool registered() const { return registered_; }
    // How calls for the device `name` are answered; Accept unless set.
    void setAnswer(const QString& name, Answer answer)
    {
        const std::scoped_lock lock(mutex_);
        answers_.insert(name, answer);
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
        const Answer answer = answers_.value(name, Answer::Accept);
        if (answer == Answer::Refuse)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Not allowed in this session"));
        else if (answer == Answer::Never)
            setDelayedReply(true);  // and no reply follows: the caller waits for its timeout
    }

private:
    inline static const QString connectionName = QStringLiteral("lunaveil-fake-logind");
    inline static const QString serviceName = QStringLiteral("org.freedesktop.login1");
    inline static const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/auto");

    QThread thread_;
    QDBusConnection connection_;
    bool registered_ = false;
    mutable std::mutex mutex_;
    QHash<QString, Answer> answers_;
    QList<Call> calls_;
};

}  // namespace lunaveil::test
