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
    void TearDown() override { QDBusConnection::disconnectFromBus(QStringLiteral("lunaveil-colour-scheme-test")); }
    QDBusConnection client() { return QDBusConnection::connectToBus(bus.address(), QStringLiteral("lunaveil-colour-scheme-test")); }

    test::PrivateBus bus;
};

TEST_F(PortalTest, DarkAndLightPreferencesDecide)
{
    {
        const FakeSettingsPortal portal(bus.address(), 1);
        ASSERT_TRUE(portal.registered());
        EXPECT_EQ(portalPrefersDark(client()), true);
    }
    const FakeSettingsPortal portal(bus.address(), 2);
    ASSERT_TRUE(portal.registered());
    EXPECT_EQ(portalPrefersDark(client()), false);
}

TEST_F(PortalTest, NoPreferenceOrNoAnswerLeavesItToTheTheme)
{
    EXPECT_EQ(portalPrefersDark(client()), std::nullopt);  // no portal on the bus
    EXPECT_EQ(portalPrefersDark(QDBusConnection(QStringLiteral("never-connected"))), std::nullopt);
    {
        const FakeSettingsPortal portal(bus.address(), 0);
        EXPECT_EQ(portalPrefersDark(client()), std::nullopt);
    }
    const FakeSettingsPortal portal(bus.address(), FakeSettingsPortal::silent);
    EXPECT_EQ(portalPrefersDark(client()), std::nullopt);
}

class GtkThemeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(user.isValid() && system.isValid()); }

    static void writeSettings(const QTemporaryDir& folder, const char* version, const char* content)
    {
        ASSERT_TRUE(QDir(folder.path()).mkpath(QString::fromLatin1(version)));
        QFile file(folder.filePath(QString::fromLatin1(version) + QStringLiteral("/settings.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    std::vector<std::filesystem::path> folders() const
    {
        return {user.path().toStdString(), system.path().toStdString()};
    }

    QTemporaryDir user;
    QTemporaryDir system;
};

TEST_F(GtkThemeTest, GtkThemeVariableIsComparedForDarkInAnyCase)
{
    writeSettings(user, "gtk-3.0", "[Settings]\ngtk-theme-name=Adwaita-dark\n");
    EXPECT_TRUE(gtkThemeIsDark(QStringLiteral("Adwaita:dark"), folders()));
    EXPECT_TRUE(gtkThemeIsDark(QStringLiteral("Dark"), folders()));
    EXPECT_FALSE(gtkThemeIsDark(QStringLiteral("Light"), folders()));
    // Unset or empty: the desktop's settings decide.
    EXPECT_TRUE(gtkThemeIsDark(std::nullopt, folders()));
    EXPECT_TRUE(gtkThemeIsDark(QString(), folders()));
}

TEST_F(GtkThemeTest, DesktopSettingsAreReadUserFirstAndGtk4First)
{
    EXPECT_FALSE(gtkThemeIsDark(std::nullopt, folders()));  // no settings anywhere: light

    writeSettings(system, "gtk-3.0", "[Settings]\ngtk-theme-name = \"Arc-Dark\"\n");
    EXPECT_EQ(gtkSettingsThemeName(folders()), QStringLiteral("Arc-Dark"));
    EXPECT_TRUE(gtkThemeIsDark(std::nullopt, folders()));

    writeSettings(user, "gtk-3.0", "# mine\n[Other]\ngtk-theme-name=Nordic-darker\n[Settings]\ngtk-theme-name=Adwaita\n");
    EXPECT_EQ(gtkSettingsThemeName(folders()), QStringLiteral("Adwaita"));
    EXPECT_FALSE(gtkThemeIsDark(std::nullopt, folders()));

    writeSettings(user, "gtk-4.0", "[Settings]\ngtk-application-prefer-dark-theme=1\ngtk-theme-name=Yaru-dark\n");
    EXPECT_EQ(gtkSettingsThemeName(folders()), QStringLiteral("Yaru-dark"));
    EXPECT_TRUE(gtkThemeIsDark(std::nullopt, folders()));
}

}  // namespace
}  // namespace lunaveil
