#include "platform/GeoClueLocation.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QVariantMap>
#include <QLoggingCategory>

#include <utility>

namespace lunaveil {
namespace {

Q_LOGGING_CATEGORY(lcLocation, "lunaveil.location")

const QString service = QStringLiteral("org.freedesktop.GeoClue2");
const QString clientInterface = QStringLiteral("org.freedesktop.GeoClue2.Client");
const QString locationInterface = QStringLiteral("org.freedesktop.GeoClue2.Location");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr unsigned cityAccuracy = 4;  // GCLUE_ACCURACY_LEVEL_CITY
constexpr int timeoutMs = 2000;

}  // namespace

GeoClueLocation::GeoClueLocation(std::optional<QDBusConnection> bus) : bus_(std::move(bus)) {}

GeoClueLocation::~GeoClueLocation()
{
    if (client_.isEmpty())
        return;
    bus_->call(QDBusMessage::createMethodCall(service, client_, clientInterface, QStringLiteral("Stop")), QDBus::NoBlock);
}

void GeoClueLocation::start()
{
    if (std::exchange(started_, true))
        return;
    if (!bus_)
        bus_ = QDBusConnection::systemBus();
    if (!bus_->isConnected())
        return;
    QDBusMessage getClient = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/GeoClue2/Manager"),
                                                            QStringLiteral("org.freedesktop.GeoClue2.Manager"),
                                                            QStringLiteral("GetClient"));
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(getClient, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (reply.isError()) {
            qCDebug(lcLocation) << "GeoClue gives no location:" << reply.error().message();
            return;
        }
        clientReady(reply.value());
    });
}

void GeoClueLocation::clientReady(const QDBusObjectPath& client)
{
    client_ = client.path();
    // GeoClue gives a client a location only once it says who it is and how precise it must be.
    // Calls on one connection arrive in order: no answer is waited for before Start.
    const auto set = [&](const char* name, const QVariant& value) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, client_, properties, QStringLiteral("Set"));
        call << clientInterface << QString::fromLatin1(name) << QVariant::fromValue(QDBusVariant(value));
        bus_->asyncCall(call, timeoutMs);
    };
    set("DesktopId", QStringLiteral("com.quorvex.Lunaveil"));
    set("RequestedAccuracyLevel", cityAccuracy);
    bus_->connect(service, client_, clientInterface, QStringLiteral("LocationUpdated"), this,
                 SLOT(locationUpdated(QDBusObjectPath, QDBusObjectPath)));
    bus_->asyncCall(QDBusMessage::createMethodCall(service, client_, clientInterface, QStringLiteral("Start")), timeoutMs);
}

void GeoClueLocation::locationUpdated(const QDBusObjectPath&, const QDBusObjectPath& current)
{
    QDBusMessage getAll = QDBusMessage::createMethodCall(service, current.path(), properties, QStringLiteral("GetAll"));
    getAll << locationInterface;
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(getAll, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *call;
        if (reply.isError())
            return;
        bool latitudeOk = false;
        bool longitudeOk = false;
        const Coordinates place{reply.value().value(QStringLiteral("Latitude")).toDouble(&latitudeOk),
                                reply.value().value(QStringLiteral("Longitude")).toDouble(&longitudeOk)};
        if (!latitudeOk || !longitudeOk || !onTheGlobe(place) || place_ == place)
            return;
        place_ = place;
        Q_EMIT placeChanged();
    });
}

}  // namespace lunaveil
