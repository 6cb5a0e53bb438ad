// What Lunaveil asks of the desktop session: whether the panel is dark (the settings portal, the GTK
// theme, the tray's colours).

#include "platform/ColourScheme.h"
#include "platform/x11/SystemTrayColours.h"
#include "support/PrivateBus.h"
#include "support/ServedOnThread.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

// The settings portal's colour-scheme answer, from a thread of its own, as the caller blocks on it.
class FakeSettingsPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    FakeSettingsPortal(const QString& busAddress, uint colourScheme)
        : colourScheme_(colourScheme),
          served(*this, busAddress, QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"))
    {
    }

public Q_SLOTS:
    // As the portal does: the value inside a variant inside the reply's variant.
    QDBusVariant Read(const QString& nameSpace, const QString& key)
    {
        if (nameSpace != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), key);
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant::fromValue(colourScheme_))));
    }

private:
    const uint colourScheme_;

public:
    const test::ServedOnThread served;
};

TEST(SettingsPortalTest, DarkAndLightDecideWhileNoPreferenceOrNoPortalLeavesItToTheTheme)
{
    const test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "no dbus-daemon";
    const QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("client"));
    EXPECT_EQ(portalPrefersDark(client), std::nullopt);
    for (const auto& [scheme, dark] :
         std::vector<std::pair<uint, std::optional<bool>>>{{1, true}, {2, false}, {0, std::nullopt}}) {
        const FakeSettingsPortal portal(bus.address(), scheme);
        ASSERT_TRUE(portal.served.registered);
        EXPECT_EQ(portalPrefersDark(client), dark) << "colour scheme " << scheme;
    }
}

// The foreground of _NET_SYSTEM_TRAY_COLORS: 16-bit channels, the first three of twelve (the desktop
// test sees a dark panel's white).
TEST(SystemTrayColoursTest, TheForegroundIsTheFirstColourAndAShortValueGivesNone)
{
    EXPECT_EQ(trayForegroundOf(std::vector<std::uint32_t>{0x8000, 0x1000, 0x70000}), QColor(0x80, 0x10, 0xff));
    EXPECT_EQ(trayForegroundOf(std::vector<std::uint32_t>{0xffff, 0xffff}), std::nullopt);
}

TEST(GtkThemeTest, ThemeVariableFirstThenTheDesktopSettingsUserFirstAndGtk4First)
{
    const QTemporaryDir user;
    const QTemporaryDir system;
    ASSERT_TRUE(user.isValid() && system.isValid());
    const std::vector<std::filesystem::path> folders{user.path().toStdString(), system.path().toStdString()};
    const auto write = [](const QTemporaryDir& folder, const char* version, const char* content) {
        QDir(folder.path()).mkpath(QString::fromLatin1(version));
        QFile file(folder.filePath(QString::fromLatin1(version) + QStringLiteral("/settings.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) > 0);
    };
    EXPECT_FALSE(gtkThemeIsDark(std::nullopt, folders));  // no settings anywhere: light
    write(system, "gtk-3.0", "[Settings]\ngtk-theme-name = \"Arc-Dark\"\n");
    EXPECT_EQ(gtkSettingsThemeName(folders), QStringLiteral("Arc-Dark"));
    // The user's own file first, and in it only the [Settings] group.
    write(user, "gtk-3.0", "# mine\n[Other]\ngtk-theme-name=Nordic-darker\n[Settings]\ngtk-theme-name=Adwaita\n");
    EXPECT_FALSE(gtkThemeIsDark(std::nullopt, folders));
    write(user, "gtk-4.0", "[Settings]\ngtk-application-prefer-dark-theme=1\ngtk-theme-name=Yaru-dark\n");
    EXPECT_EQ(gtkSettingsThemeName(folders), QStringLiteral("Yaru-dark"));
    // GTK_THEME, when set and not empty, goes before the settings; "dark" counts in any letter case.
    EXPECT_FALSE(gtkThemeIsDark(QStringLiteral("Light"), folders));
    EXPECT_TRUE(gtkThemeIsDark(QStringLiteral("Adwaita:DARK"), folders));
    EXPECT_TRUE(gtkThemeIsDark(QString(), folders));
}

}  // namespace
}  // namespace lunaveil

#include "desktop_services_test.moc"
