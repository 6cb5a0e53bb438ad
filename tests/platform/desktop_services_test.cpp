// What Lunaveil asks of the desktop session: whether the panel is dark (the settings portal, the GTK
// theme, the tray's colours), where GeoClue says the user is, and the notifications it sends.

#include "platform/ColourScheme.h"
#include "platform/GeoClueLocation.h"
#include "platform/x11/SystemTrayColours.h"
#include "support/PrivateBus.h"
#include "support/ServedOnThread.h"
#include "support/SpinEventLoop.h"
#include "ui/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QVariantMap>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;

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

// Each service of the test connects to the private bus under a name of its own.
class SessionBusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "no dbus-daemon"; }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    }
    QDBusConnection client() { return QDBusConnection::connectToBus(bus.address(), QStringLiteral("client")); }

    test::PrivateBus bus;
};

TEST_F(SessionBusTest, DarkAndLightDecideWhileNoPreferenceOrNoPortalLeavesItToTheTheme)
{
    EXPECT_EQ(portalPrefersDark(client()), std::nullopt);
    for (const auto& [scheme, dark] :
         std::vector<std::pair<uint, std::optional<bool>>>{{1, true}, {2, false}, {0, std::nullopt}}) {
        const FakeSettingsPortal portal(bus.address(), scheme);
        ASSERT_TRUE(portal.served.registered);
        EXPECT_EQ(portalPrefersDark(client()), dark) << "colour scheme " << scheme;
    }
}

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList told;
public Q_SLOTS:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        told << app << summary << body << hints.value(QStringLiteral("desktop-entry")).toString();
        return 1;
    }
};

// GeoClue as its D-Bus API has it: a manager that makes a client, which, started with a desktop id
// and an accuracy, tells of a location object.
class FakeGeoClueLocation : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.GeoClue2.Location")
    Q_PROPERTY(double Latitude MEMBER latitude)
    Q_PROPERTY(double Longitude MEMBER longitude)
    double latitude = -33.87, longitude = 151.21;
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
            Q_EMIT LocationUpdated(QDBusObjectPath(QStringLiteral("/")),
                                   QDBusObjectPath(QStringLiteral("/org/freedesktop/GeoClue2/Location/1")));
    }
Q_SIGNALS:
    void LocationUpdated(const QDBusObjectPath& previous, const QDBusObjectPath& current);
};

class FakeGeoClueManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.GeoClue2.Manager")
public Q_SLOTS:
    QDBusObjectPath GetClient() { return QDBusObjectPath(QStringLiteral("/org/freedesktop/GeoClue2/Client/1")); }
};

// No server on the bus: nothing is sent. Then both: the notification reaches
// the server, and GeoClue gives its place at a city's accuracy once started, both named by
// Lunaveil's desktop entry, so that the desktop shows its name and icon.
TEST_F(SessionBusTest, NotificationsAndGeoClueReachTheirServersAsLunaveilAndTheirAbsenceGivesNothing)
{
    EXPECT_FALSE(sendDesktopNotification(client(), QStringLiteral("s"), QStringLiteral("b"))) << "no server runs";
    FakeNotifications server;
    FakeGeoClueManager manager;
    FakeGeoClueClient geoClient;
    FakeGeoClueLocation location;
    QDBusConnection service = QDBusConnection::connectToBus(bus.address(), QStringLiteral("service"));
    for (const auto& [path, object] : std::vector<std::pair<const char*, QObject*>>{
             {"/org/freedesktop/Notifications", &server}, {"/org/freedesktop/GeoClue2/Manager", &manager},
             {"/org/freedesktop/GeoClue2/Client/1", &geoClient}, {"/org/freedesktop/GeoClue2/Location/1", &location}})
        ASSERT_TRUE(service.registerObject(QString::fromLatin1(path), object, QDBusConnection::ExportAllContents));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
                service.registerService(QStringLiteral("org.freedesktop.GeoClue2")));
    EXPECT_TRUE(sendDesktopNotification(client(), QStringLiteral("Damaged"), QStringLiteral("Kept as /tmp/s.json.1")));
    EXPECT_TRUE(test::spinUntil([&] { return !server.told.isEmpty(); }, 5s));
    EXPECT_EQ(server.told, (QStringList{QStringLiteral("Lunaveil"), QStringLiteral("Damaged"),
                                        QStringLiteral("Kept as /tmp/s.json.1"), QStringLiteral("com.quorvex.Lunaveil")}));

    GeoClueLocation geoClue(client());
    int changes = 0;
    QObject::connect(&geoClue, &GeoClueLocation::placeChanged, [&] { ++changes; });
    geoClue.start();
    EXPECT_TRUE(test::spinUntil([&] { return changes > 0; }, 5s));
    EXPECT_EQ(geoClue.place(), (Coordinates{-33.87, 151.21}));
    EXPECT_EQ(std::pair(geoClient.desktopId, geoClient.accuracy), std::pair(QStringLiteral("com.quorvex.Lunaveil"), 4u))
        << "city";
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
