#include "support/FakeSettingsPortal.h"

#include <QDBusError>

namespace lunaveil::test {
namespace {

const QString connectionName = QStringLiteral("lunaveil-fake-settings-portal");
const QString serviceName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString objectPath = QStringLiteral("/org/freedesktop/portal/desktop");

}  // namespace

FakeSettingsPortal::FakeSettingsPortal(const QString& busAddress, int colourScheme)
    : connection_(QDBusConnection::connectToBus(busAddress, connectionName)), colourScheme_(colourScheme)
{
    thread_.start();
    moveToThread(&thread_);
    registered_ = connection_.registerObject(objectPath, this, QDBusConnection::ExportAllSlots)
                  && connection_.registerService(serviceName);
}

FakeSettingsPortal::~FakeSettingsPortal()
{
    connection_.unregisterService(serviceName);
    connection_.unregisterObject(objectPath);
    QDBusConnection::disconnectFromBus(connectionName);
    thread_.quit();
    thread_.wait();
}

QDBusVariant FakeSettingsPortal::Read(const QString& nameSpace, const QString& key)
{
    if (nameSpace != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme")) {
        sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("Requested setting not found"));
        return {};
    }
    if (colourScheme_ == silent) {
        setDelayedReply(true);
        return {};
    }
    return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant::fromValue(static_cast<uint>(colourScheme_.load())))));
}

}  // namespace lunaveil::test
