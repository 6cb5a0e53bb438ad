#include "platform/wayland/KWinNightLight.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace lunaveil {
namespace {

// KWin answers at once; a KWin that hangs must not hold up the popover for long.
constexpr int answerWithinMs = 250;

std::optional<bool> runningProperty(const QDBusConnection& bus, const QString& path, const QString& interface)
{
    QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), path,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << interface << QStringLiteral("running");
    const QDBusMessage reply = bus.call(get, QDBus::Block, answerWithinMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant running = reply.arguments().constFirst().value<QDBusVariant>().variant();
    if (running.userType() != QMetaType::Bool)
        return std::nullopt;
    return running.toBool();
}

}  // namespace

std::optional<bool> kwinNightLightRunning(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return std::nullopt;
    if (const auto running = runningProperty(bus, QStringLiteral("/org/kde/KWin/NightLight"),
                                             QStringLiteral("org.kde.KWin.NightLight")))
        return running;
    return runningProperty(bus, QStringLiteral("/ColorCorrect"), QStringLiteral("org.kde.kwin.ColorCorrect"));
}

std::string kwinTrueColorsNote(std::optional<bool> nightLightRunning)
{
    QString note = QCoreApplication::translate(
        "lunaveil::KWinNightLight",
        "KWin lets no program set the display gamma that True Colors needs, so the tint is an overlay. For a tint "
        "through the gamma, use Plasma's own Night Light: System Settings, Display and Monitor, Night Light.");
    if (nightLightRunning.value_or(false))
        note += QLatin1Char(' ') + QCoreApplication::translate("lunaveil::KWinNightLight", "Night Light is on now.");
    return note.toStdString();
}

}  // namespace lunaveil
