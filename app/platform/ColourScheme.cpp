#include "ColourScheme.h"

#include "platform/XdgDirectories.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QVariant>
#include <QtGlobal>

namespace lunaveil {
namespace {

// The icon is chosen while the tray item is drawn, so a portal that does not answer at once
// must not hold the interface up.
constexpr int portalTimeoutMs = 250;

// The portal wraps the value in one variant per layer of its Read method; unwrap them all.
QVariant unwrapped(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

// gtk-theme-name in the [Settings] group of a GTK settings.ini, without quotes or spaces.
std::optional<QString> themeNameInSettingsFile(const std::filesystem::path& file)
{
    QFile settings(QString::fromStdString(file.string()));
    if (!settings.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    bool inSettingsGroup = false;
    while (!settings.atEnd()) {
        const QString line = QString::fromUtf8(settings.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSettingsGroup = line == QLatin1String("[Settings]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inSettingsGroup || equals < 0 || line.left(equals).trimmed() != QLatin1String("gtk-theme-name"))
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (!value.isEmpty())
            return value;
    }
    return std::nullopt;
}

std::optional<QString> environmentValue(const char* name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qEnvironmentVariable(name);
}

}  // namespace

std::optional<bool> portalPrefersDark(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    call << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    const QDBusMessage reply = QDBusConnection(bus).call(call, QDBus::Block, portalTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    bool isNumber = false;
    const uint scheme = unwrapped(reply.arguments().constFirst()).toUInt(&isNumber);
    if (!isNumber)
        return std::nullopt;
    switch (scheme) {
    case 1:
        return true;
    case 2:
        return false;
    default:  // 0: no preference, so the theme decides
        return std::nullopt;
    }
}

std::optional<QString> gtkSettingsThemeName(const std::vector<std::filesystem::path>& configFolders)
{
    for (const auto& folder : configFolders) {
        for (const char* version : {"gtk-4.0", "gtk-3.0"}) {
            if (auto name = themeNameInSettingsFile(folder / version / "settings.ini"))
                return name;
        }
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> gtkConfigFolders()
{
    std::vector<std::filesystem::path> folders{configHome()};
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    const QStringList system = dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (system.isEmpty())
        folders.emplace_back("/etc/xdg");
    for (const QString& dir : system) {
        if (dir.startsWith(QLatin1Char('/')))
            folders.emplace_back(dir.toStdString());
    }
    folders.emplace_back("/etc");  // GTK's own system-wide settings
    return folders;
}

bool themeNameIsDark(const QString& themeName)
{
    return themeName.contains(QLatin1String("dark"), Qt::CaseInsensitive);
}

bool gtkThemeIsDark(const std::optional<QString>& gtkThemeVariable,
                    const std::vector<std::filesystem::path>& configFolders)
{
    if (gtkThemeVariable && !gtkThemeVariable->isEmpty())
        return themeNameIsDark(*gtkThemeVariable);
    const std::optional<QString> name = gtkSettingsThemeName(configFolders);
    return name && themeNameIsDark(*name);
}

bool menuBarIsDark()
{
    if (const std::optional<bool> portal = portalPrefersDark(QDBusConnection::sessionBus()))
        return *portal;
    return gtkThemeIsDark(environmentValue("GTK_THEME"), gtkConfigFolders());
}

}  // namespace lunaveil
