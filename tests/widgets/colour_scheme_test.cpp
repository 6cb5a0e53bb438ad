// The dark-panel test (the tray's colours, the settings portal's answer, the GTK theme's name),
// the desktop notifications Lunaveil sends, and where GeoClue says the user is.

#include "support/FakeSettingsPortal.h"
#include "platform/ColourScheme.h"
#include "platform/GeoClueLocation.h"
#include "platform/x11/SystemTrayColours.h"
#include "support/PrivateBus.h"
#include "support/SpinEventLoop.h"
#include "ui/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QTimer>
#include <QVariantMap>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

using test::FakeSettingsPortal;

class SessionBusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "no dbus-daemon"; }
    void TearDown() override { QDBusConnection::disconnectFromBus(name); }
    QDBusConnection client() { return QDBusConnection::connectToBus(bus.address(), name); }

    const QString name = QStringLiteral("lunaveil-colour-scheme-test");

    test::PrivateBus bus;
};

TEST_F(SessionBusTest, DarkAndLightDecideWhileNoPreferenceOrNoAnswerLeavesItToTheTheme)
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

// A notification server that keeps what it is told.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList told;

public Q_SLOTS:
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        told << app << icon << summary << body << hints.value(QStringLiteral("desktop-entry")).toString();
        return 1;
    }
};

TEST_F(SessionBusTest, ANotificationReachesTheServerAndNoServerIsSaid)
{
    const QString summary = QStringLiteral("Lunaveil's settings were damaged");
    EXPECT_FALSE(sendDesktopNotification(client(), summary, QStringLiteral("body"))) << "no server runs";
    FakeNotifications server;
    QDBusConnection serverSide = QDBusConnection::connectToBus(bus.address(), QStringLiteral("notification-server"));
    ASSERT_TRUE(serverSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serverSide.registerService(QStringLiteral("org.freedesktop.Notifications")));
    EXPECT_TRUE(sendDesktopNotification(client(), summary, QStringLiteral("Kept as /tmp/s.json.damaged-1")));
    EXPECT_TRUE(test::spinUntil([&] { return !server.told.isEmpty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(server.told, (QStringList{QStringLiteral("Lunaveil"), QStringLiteral("com.quorvex.Lunaveil"), summary,
                                        QStringLiteral("Kept as /tmp/s.json.damaged-1"),
                                        QStringLiteral("com.quorvex.Lunaveil")}));
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-server"));
}

// The foreground of _NET_SYSTEM_TRAY_COLORS: 16-bit channels, the first three of twelve.
// GeoClue as its D-Bus API has it: a manager that makes a client, which once started at the
// accuracy asked tells of a location object.
class FakeGeoClueLocation : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.GeoClue2.Location")
    Q_PROPERTY(double Latitude MEMBER latitude)
    Q_PROPERTY(double Longitude MEMBER longitude)
public:
    double latitude = -33.87;
    double longitude = 151.21;
};

class FakeGeoClueClient : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.GeoClue2.Client")
    Q_PROPERTY(QString DesktopId MEMBER desktopId)
    Q_PROPERTY(uint RequestedAccuracyLevel MEMBER accuracy)
public:
    QString desktopId;
    uint accuracy = 0;
public Q_SLOTS:
    void Start()
    {
        if (!desktopId.isEmpty() && accuracy > 0)
            QTimer::singleShot(0, this, [this] {
                Q_EMIT LocationUpdated(QDBusObjectPath(QStringLiteral("/")),
                                       QDBusObjectPath(QStringLiteral("/org/freedesktop/GeoClue2/Location/1")));
            });
    }
    void Stop() {}
Q_SIGNALS:
    void LocationUpdated(const QDBusObjectPath& previous, const QDBusObjectPath& current);
};

class FakeGeoClueManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.GeoClue2.Manager")
public Q_SLOTS:
    QDBusObjectPath GetClient() { return QDBusObjectPath(QStringLiteral("/org/freedesktop/GeoClue2/Client/1")); }
};

TEST_F(SessionBusTest, GeoClueGivesItsPlaceAtTheAccuracyOfACityOnceStarted)
{
    EXPECT_FALSE(GeoClueLocation(client()).place()) << "nothing asked before the start";
    GeoClueLocation absent(client());
    absent.start();  // no GeoClue on the bus: simply no place
    FakeGeoClueManager manager;
    FakeGeoClueClient geoClient;
    FakeGeoClueLocation location;
    QDBusConnection serverSide = QDBusConnection::connectToBus(bus.address(), QStringLiteral("geoclue"));
    const auto all = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSignals;
    ASSERT_TRUE(serverSide.registerObject(QStringLiteral("/org/freedesktop/GeoClue2/Manager"), &manager, all));
    ASSERT_TRUE(serverSide.registerObject(QStringLiteral("/org/freedesktop/GeoClue2/Client/1"), &geoClient, all));
    ASSERT_TRUE(serverSide.registerObject(QStringLiteral("/org/freedesktop/GeoClue2/Location/1"), &location, all));
    ASSERT_TRUE(serverSide.registerService(QStringLiteral("org.freedesktop.GeoClue2")));

    GeoClueLocation geoClue(client());
    int changes = 0;
    QObject::connect(&geoClue, &GeoClueLocation::placeChanged, [&] { ++changes; });
    geoClue.start();
    geoClue.start();
    EXPECT_TRUE(test::spinUntil([&] { return changes > 0; }, std::chrono::seconds(5)));
    EXPECT_EQ(geoClue.place(), (Coordinates{-33.87, 151.21}));
    EXPECT_EQ(geoClient.desktopId, QStringLiteral("com.quorvex.Lunaveil"));
    EXPECT_EQ(geoClient.accuracy, 4u) << "city";
    QDBusConnection::disconnectFromBus(QStringLiteral("geoclue"));
}

TEST(SystemTrayColoursTest, TheForegroundIsTheFirstColourAndAShortValueGivesNone)
{
    const std::vector<std::uint32_t> white{0xffff, 0xffff, 0xffff, 0xffff, 0, 0, 0xffff, 0xffff, 0, 0, 0xffff, 0};
    EXPECT_EQ(trayForegroundOf(white), QColor(Qt::white));
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

#include "colour_scheme_test.moc"
