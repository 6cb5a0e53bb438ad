// The dark-panel test: the settings portal's answer first, else the GTK theme's name.

#include "fakes/FakeSettingsPortal.h"
#include "platform/ColourScheme.h"
#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

using test::FakeSettingsPortal;

class PortalTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "no dbus-daemon"; }
    void TearDown() override { QDBusConnection::disconnectFromBus(name); }
    QDBusConnection client() { return QDBusConnection::connectToBus(bus.address(), name); }

    const QString name = QStringLiteral("lunaveil-colour-scheme-test");

    test::PrivateBus bus;
};

TEST_F(PortalTest, DarkAndLightDecideWhileNoPreferenceOrNoAnswerLeavesItToTheTheme)
{
    EXPECT_EQ(portalPrefersDark(client()), std::nullopt);  // no portal on the bus
    EXPECT_EQ(portalPrefersDark(QDBusConnection(QStringLiteral("never-connected"))), std::nullopt);
    const std::vector<std::pair<int, std::optional<bool>>> answers{
        {1, true}, {2, false}, {0, std::nullopt}, {FakeSettingsPortal::silent, std::nullopt}};
    for (const auto& [scheme, dark] : answers) {
        const FakeSettingsPortal portal(bus.address(), scheme);
        ASSERT_TRUE(portal.registered());
        EXPECT_EQ(portalPrefersDark(client()), dark) << "colour scheme " << scheme;
    }
}

TEST(GtkThemeTest, ThemeVariableFirstThenTheDesktopSettingsUserFirstAndGtk4First)
{
    const QTemporaryDir user;
    const QTemporaryDir system;
    ASSERT_TRUE(user.isValid() && system.isValid());
    const std::vector<std::filesystem::path> folders{user.path().toStdString(), system.path().toStdString()};
    const auto write = [](const QTemporaryDir& folder, const char* version, const char* content) {
        ASSERT_TRUE(QDir(folder.path()).mkpath(QString::fromLatin1(version)));
        QFile file(folder.filePath(QString::fromLatin1(version) + QStringLiteral("/settings.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    EXPECT_FALSE(gtkThemeIsDark(std::nullopt, folders));  // no settings anywhere: light
    write(system, "gtk-3.0", "[Settings]\ngtk-theme-name = \"Arc-Dark\"\n");
    EXPECT_EQ(gtkSettingsThemeName(folders), QStringLiteral("Arc-Dark"));
    EXPECT_TRUE(gtkThemeIsDark(std::nullopt, folders));
    write(user, "gtk-3.0", "# mine\n[Other]\ngtk-theme-name=Nordic-darker\n[Settings]\ngtk-theme-name=Adwaita\n");
    EXPECT_EQ(gtkSettingsThemeName(folders), QStringLiteral("Adwaita"));
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
