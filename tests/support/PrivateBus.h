#pragma once
// A private dbus-daemon for one test process, stopped with the object (or with the process).

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace lunaveil::test {

class PrivateBus {
public:
    // Starts the daemon and waits until it listens; address() is empty when that failed.
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const QString& address() const { return address_; }

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
};

}  // namespace lunaveil::test
