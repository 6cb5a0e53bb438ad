#pragma once
// A message on the desktop's notification server (org.freedesktop.Notifications).

#include <QDBusConnection>
#include <QString>

namespace lunaveil {

// Sends the notification without waiting for the server; false when no server runs on `bus`
// or can be started by it, so that the caller can say it some other way.
bool sendDesktopNotification(const QDBusConnection& bus, const QString& summary, const QString& body);

}  // namespace lunaveil
