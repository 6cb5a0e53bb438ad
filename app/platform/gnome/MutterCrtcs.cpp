#include "platform/gnome/MutterCrtcs.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QLoggingCategory>

namespace lunaveil {
namespace {

Q_LOGGING_CATEGORY(lcGamma, "lunaveil.gamma")

const QString service = QStringLiteral("org.gnome.Mutter.DisplayConfig");
const QString path = QStringLiteral("/org/gnome/Mutter/DisplayConfig");

// Mutter answers at once; one that hangs must not hold Lunaveil up for long.
constexpr int answerWithinMs = 1000;

using Channel = QList<quint16>;

bool isReply(const QDBusMessage& reply, const char* signature)
{
    return reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String(signature);
}

}  // namespace

std::unique_ptr<MutterCrtcs> MutterCrtcs::create(const QDBusConnection& bus)
{
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(service))
        return nullptr;
    qDBusRegisterMetaType<Channel>();
    std::unique_ptr<MutterCrtcs> crtcs(new MutterCrtcs(bus));
    if (!crtcs->readResources() || crtcs->crtcs_.empty())
        return nullptr;
    return crtcs;
}

MutterCrtcs::MutterCrtcs(const QDBusConnection& bus) : bus_(bus)
{
    bus_.connect(service, path, service, QStringLiteral("MonitorsChanged"), this, SLOT(monitorsChanged()));
}

QDBusMessage MutterCrtcs::call(const QString& method, const QList<QVariant>& arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, service, method);
    message.setArguments(arguments);
    return bus_.call(message, QDBus::Block, answerWithinMs);
}

void MutterCrtcs::monitorsChanged()
{
    known_ = false;
    if (onCrtcsChanged)
        onCrtcsChanged();
}

bool MutterCrtcs::readResources()
{
    known_ = false;
    crtcs_.clear();
    const QDBusMessage reply = call(QStringLiteral("GetResources"));
    if (!isReply(reply, "ua(uxiiiiiuaua{sv})a(uxiausauaua{sv})a(uxuudu)ii")) {
        qCWarning(lcGamma, "Mutter's display configuration did not answer as expected: %s",
                  qUtf8Printable(reply.errorMessage()));
        return false;
    }
    serial_ = reply.arguments().at(0).toUInt();
    const QDBusArgument listed = reply.arguments().at(1).value<QDBusArgument>();
    listed.beginArray();
    while (!listed.atEnd()) {
        uint id = 0;
        qlonglong winsysId = 0;
        int x = 0, y = 0, width = 0, height = 0, currentMode = -1;
        uint transform = 0;
        QList<uint> transforms;
        QVariantMap properties;
        listed.beginStructure();
        listed >> id >> winsysId >> x >> y >> width >> height >> currentMode >> transform >> transforms >> properties;
        listed.endStructure();
        // A CRTC without a mode drives no monitor.
        if (currentMode < 0)
            continue;
        if (const auto ramp = readRamp(id); ramp && ramp->size() > 0)
            crtcs_.push_back({id, ramp->size()});
    }
    listed.endArray();
    known_ = true;
    return true;
}

std::optional<GammaRamp> MutterCrtcs::readRamp(CrtcId crtc) const
{
    const QDBusMessage reply = call(QStringLiteral("GetCrtcGamma"), {QVariant::fromValue(serial_), QVariant::fromValue(crtc)});
    if (!isReply(reply, "aqaqaq"))
        return std::nullopt;
    GammaRamp ramp;
    for (const auto& [channel, at] : {std::pair(&ramp.red, 0), std::pair(&ramp.green, 1), std::pair(&ramp.blue, 2)}) {
        const Channel values = qdbus_cast<Channel>(reply.arguments().at(at));
        channel->assign(values.begin(), values.end());
    }
    if (ramp.green.size() != ramp.size() || ramp.blue.size() != ramp.size())
        return std::nullopt;
    return ramp;
}

std::vector<GammaOutput> MutterCrtcs::crtcs()
{
    if (!known_)
        readResources();
    return crtcs_;
}

std::optional<GammaRamp> MutterCrtcs::getRamp(CrtcId crtc)
{
    if (!known_ && !readResources())
        return std::nullopt;
    if (auto ramp = readRamp(crtc))
        return ramp;
    // The configuration may have changed since it was read.
    return readResources() ? readRamp(crtc) : std::nullopt;
}

bool MutterCrtcs::setRamp(CrtcId crtc, const GammaRamp& ramp)
{
    const auto set = [&] {
        const auto fits = std::ranges::any_of(crtcs_, [&](const GammaOutput& output) {
            return output.id == crtc && output.rampSize == ramp.size();
        });
        if (!fits)
            return false;
        const auto channel = [](const std::vector<std::uint16_t>& values) {
            return QVariant::fromValue(Channel(values.begin(), values.end()));
        };
        const QDBusMessage reply = call(QStringLiteral("SetCrtcGamma"),
                                        {QVariant::fromValue(serial_), QVariant::fromValue(crtc), channel(ramp.red),
                                         channel(ramp.green), channel(ramp.blue)});
        return reply.type() == QDBusMessage::ReplyMessage;
    };
    if (known_ && set())
        return true;
    return readResources() && set();
}

std::string MutterCrtcs::serverMark(bool)
{
    const QString owner = bus_.interface()->serviceOwner(service);
    const QDBusMessage id = bus_.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
    if (owner.isEmpty() || !isReply(id, "s"))
        return {};
    return QStringLiteral("mutter %1 %2").arg(id.arguments().at(0).toString(), owner).toStdString();
}

bool MutterCrtcs::answers() const
{
    return bus_.isConnected() && bus_.interface()->isServiceRegistered(service);
}

}  // namespace lunaveil
