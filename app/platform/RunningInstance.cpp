#include "RunningInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>

namespace lunaveil {
namespace {

const QString serviceName = QStringLiteral("com.quorvex.Lunaveil");
const QString objectPath = QStringLiteral("/com/quorvex/Lunaveil");

}  // namespace

RunningInstance::RunningInstance(QDBusVirtualObject& exported)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    registered_ = bus.registerVirtualObject(objectPath, &exported) && bus.registerService(serviceName);
}

RunningInstance::~RunningInstance()
{
    if (!registered_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName);
    bus.unregisterObject(objectPath);
}

bool RunningInstance::requestShowPopover()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusMessage call = QDBusMessage::createMethodCall(serviceName, objectPath, serviceName,
                                                             QStringLiteral("ShowPopover"));
    return bus.call(call, QDBus::Block, 2000).type() == QDBusMessage::ReplyMessage;
}

}  // namespace lunaveil
