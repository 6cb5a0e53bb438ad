#pragma once
// Stands in for logind's session object on a test bus and records the SetBrightness calls it gets.

#include <QDBusConnection>
#include <QDBusContext>
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

    // Owns org.freedesktop.login1 on the bus at `busAddress`, serving
    // /org/freedesktop/login1/session/auto. It answers from a thread of its own, so a
    // caller on the main thread may block on it.
    explicit FakeLogind(const QString& busAddress);
    ~FakeLogind() override;

    bool registered() const { return registered_; }
    // How calls for the device `name` are answered; Accept unless set.
    void setAnswer(const QString& name, Answer answer);
    QList<Call> calls() const;

public Q_SLOTS:
    void SetBrightness(const QString& subsystem, const QString& name, uint brightness);

private:
    QThread thread_;
    QDBusConnection connection_;
    bool registered_ = false;
    mutable std::mutex mutex_;
    QHash<QString, Answer> answers_;
    QList<Call> calls_;
};

}  // namespace lunaveil::test
