#pragma once
// Stands in for the freedesktop settings portal on a test bus, answering the colour-scheme question.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>

namespace lunaveil::test {

class FakeSettingsPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    // No reply at all, so the caller waits for its timeout.
    static constexpr int silent = -1;

    // Owns org.freedesktop.portal.Desktop on the bus at `busAddress`, serving
    // /org/freedesktop/portal/desktop from a thread of its own, so a caller may block on it.
    FakeSettingsPortal(const QString& busAddress, int colourScheme);
    ~FakeSettingsPortal() override;

    bool registered() const { return registered_; }

public Q_SLOTS:
    // As the portal does: the value inside a variant inside the reply's variant.
    QDBusVariant Read(const QString& nameSpace, const QString& key);

private:
    QThread thread_;
    QDBusConnection connection_;
    std::atomic<int> colourScheme_;
    bool registered_ = false;
};

}  // namespace lunaveil::test
