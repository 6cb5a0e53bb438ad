#pragma once
// Serves a test's stand-in for a bus service from a thread of its own, so that a caller on the main
// thread may block on it: the object is moved to the thread and registered under the service's name
// on a connection of its own, for as long as this lives.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QThread>

namespace lunaveil::test {

class ServedOnThread {
public:
    ServedOnThread(QObject& object, const QString& busAddress, const QString& service, const QString& path)
        : connection_(QDBusConnection::connectToBus(busAddress, service)), service_(service), path_(path)
    {
        thread_.start();
        object.moveToThread(&thread_);
        registered = connection_.registerObject(path, &object, QDBusConnection::ExportAllSlots)
                     && connection_.registerService(service);
    }
    ~ServedOnThread()
    {
        connection_.unregisterService(service_);
        connection_.unregisterObject(path_);
        QDBusConnection::disconnectFromBus(service_);
        thread_.quit();
        thread_.wait();
    }
    ServedOnThread(const ServedOnThread&) = delete;
    ServedOnThread& operator=(const ServedOnThread&) = delete;

    bool registered = false;

private:
    QThread thread_;
    QDBusConnection connection_;
    const QString service_, path_;
};

}  // namespace lunaveil::test
