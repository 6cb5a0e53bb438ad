#include "ui/DesktopNotification.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace lunaveil {
namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

bool sendDesktopNotification(const QDBusConnection& bus, const QString& summary, const QString& body)
{
    QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr;
    if (daemon == nullptr
        || (!daemon->isServiceRegistered(service).value() && !daemon->activatableServiceNames().value().contains(service)))
        return false;
    QDBusMessage notify = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                                         service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("com.quorvex.Lunaveil")}};
    notify << QStringLiteral("Lunaveil") << 0u << QStringLiteral("com.quorvex.Lunaveil") << summary << body
           << QStringList() << hints << -1;
    return bus.send(notify);
}

}  // namespace lunaveil
