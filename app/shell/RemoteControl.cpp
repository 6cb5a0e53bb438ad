#include "shell/RemoteControl.h"

#include "shell/LunaveilService.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>

#include <cmath>

namespace lunaveil {
namespace {

const QString service = QStringLiteral("com.quorvex.Lunaveil");
const QString path = QStringLiteral("/com/quorvex/Lunaveil");
const QString interface = QString::fromLatin1(LunaveilService::interfaceName);
constexpr int timeoutMs = 5000;

QDBusMessage call(const QString& onInterface, const QString& member, const QVariantList& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, onInterface, member);
    message.setArguments(arguments);
    // No D-Bus activation: a Lunaveil that is not running stays so.
    message.setAutoStartService(false);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, timeoutMs);
}

bool notRunning(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ErrorMessage
        && (reply.errorName() == u"org.freedesktop.DBus.Error.ServiceUnknown"
            || reply.errorName() == u"org.freedesktop.DBus.Error.NameHasNoOwner"
            || reply.errorName() == u"org.freedesktop.DBus.Error.Disconnected"
            || !QDBusConnection::sessionBus().isConnected());
}

// The properties as plain values: the colour's structure as its three numbers.
QVariantMap plain(const QVariantMap& properties)
{
    QVariantMap values;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        QVariant value = it.value();
        if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
            const DBusRgb rgb = qdbus_cast<DBusRgb>(value.value<QDBusArgument>());
            value = QVariantList{rgb.red, rgb.green, rgb.blue};
        }
        values.insert(it.key(), value);
    }
    return values;
}

QString statusLine(const QVariantMap& values)
{
    const QVariantList rgb = values.value(QStringLiteral("Colour")).toList();
    const auto channel = [&](int i) { return static_cast<int>(std::lround(rgb.value(i).toDouble() * 255.0)); };
    const QString colour = QStringLiteral("#%1%2%3")
                               .arg(channel(0), 2, 16, QLatin1Char('0'))
                               .arg(channel(1), 2, 16, QLatin1Char('0'))
                               .arg(channel(2), 2, 16, QLatin1Char('0'));
    const bool on = values.value(QStringLiteral("TintEnabled")).toBool();
    const bool scheduled = values.value(QStringLiteral("ScheduleActive")).toBool();
    return QStringLiteral("tint %1, %2 %3 at %4 %, schedule %5%6")
        .arg(on ? QStringLiteral("on") : QStringLiteral("off"),
             values.value(QStringLiteral("TrueColors")).toBool() ? QStringLiteral("True Colors") : QStringLiteral("overlay"),
             colour, QString::number(values.value(QStringLiteral("Opacity")).toDouble(), 'g', 4),
             scheduled ? QStringLiteral("%1–%2").arg(values.value(QStringLiteral("ScheduleStart")).toString(),
                                                      values.value(QStringLiteral("ScheduleStop")).toString())
                       : QStringLiteral("off"),
             values.value(QStringLiteral("InvertColors")).toBool() ? QStringLiteral(", colours inverted") : QString());
}

}  // namespace

int remoteControl(CommandLineAction action, bool json, std::FILE* out, std::FILE* err)
{
    QDBusMessage reply;
    switch (action) {
    case CommandLineAction::TintOn:
    case CommandLineAction::TintOff:
        reply = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                     {interface, QStringLiteral("TintEnabled"),
                      QVariant::fromValue(QDBusVariant(action == CommandLineAction::TintOn))});
        break;
    case CommandLineAction::Toggle:
        reply = call(interface, QStringLiteral("Toggle"));
        break;
    case CommandLineAction::Quit:
        reply = call(interface, QStringLiteral("Quit"));
        break;
    case CommandLineAction::Status:
        reply = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"), {interface});
        break;
    default:
        return 1;
    }
    if (notRunning(reply)) {
        if (action == CommandLineAction::Status)
            std::fputs(json ? "{\"Running\": false}\n" : "not running\n", out);
        else
            std::fputs("Lunaveil is not running.\n", err);
        return 1;
    }
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(err, "Lunaveil: %s\n", qPrintable(reply.errorMessage()));
        return 1;
    }
    if (action == CommandLineAction::Status) {
        QVariantMap values = plain(qdbus_cast<QVariantMap>(reply.arguments().value(0)));
        if (json) {
            values.insert(QStringLiteral("Running"), true);
            std::fprintf(out, "%s\n", QJsonDocument(QJsonObject::fromVariantMap(values)).toJson(QJsonDocument::Compact).constData());
        } else {
            std::fprintf(out, "%s\n", qPrintable(statusLine(values)));
        }
    }
    return 0;
}

}  // namespace lunaveil
