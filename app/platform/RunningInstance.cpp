#include "RunningInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace lunaveil {
namespace {

const QString serviceName = QStringLiteral("com.quorvex.Lunaveil");
const QString objectPath = QStringLiteral("/com/quorvex/Lunaveil");

}  // namespace

RunningInstance::RunningInstance(std::function<void()> onShowPopoverRequested)
    : onShowPopoverRequested_(std::move(onShowPopoverRequested))
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    registered_ = bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots) &&
                  bus.registerService(serviceName);
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

void RunningInstance::ShowPopover()
{
    if (onShowPopoverRequested_)
        onShowPopoverRequested_();
}

}  // namespace lunaveil
