// fake-display-config ID:SIZE...: stands in for Mutter's org.gnome.Mutter.DisplayConfig on the
// session bus, for gamma on GNOME, whose headless monitor has no CRTC. One CRTC per argument, in
// use, its calibration a straight line to 60000; a SIZE of 0 is a CRTC that drives no monitor. It
// prints, one line each, flushed:
//   ready                        once it owns its name
//   set ID R0 RN G0 GN B0 BN     each table set (by Lunaveil, or by the test as GNOME's Night
//                                Light): first and last entry of each channel
// Any ApplyMonitorsConfig changes the monitors: a new serial, and MonitorsChanged.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>

#include <algorithm>
#include <array>
#include <tuple>
#include <cstdio>
#include <map>

// A tuple as a D-Bus structure of its fields, in order. Beside QDBusArgument, where Qt D-Bus finds it.
template <typename... Fields>
QDBusArgument& operator<<(QDBusArgument& out, const std::tuple<Fields...>& record)
{
    out.beginStructure();
    std::apply([&](const auto&... field) { ((out << field), ...); }, record);
    out.endStructure();
    return out;
}
template <typename... Fields>
const QDBusArgument& operator>>(const QDBusArgument& in, std::tuple<Fields...>& record)
{
    in.beginStructure();
    std::apply([&](auto&... field) { ((in >> field), ...); }, record);
    in.endStructure();
    return in;
}

namespace {

// GetResources' CRTCs (id, winsys id, x, y, width, height, current mode, transform, transforms,
// properties), outputs and modes (id, winsys id, width, height, frequency, flags).
using Crtc = std::tuple<uint, qlonglong, int, int, int, int, int, uint, QList<uint>, QVariantMap>;
using Output = std::tuple<uint, qlonglong, int, QList<uint>, QString, QList<uint>, QList<uint>, QVariantMap>;
using Mode = std::tuple<uint, qlonglong, uint, uint, double, uint>;

using Channel = QList<quint16>;

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

const QString interfaceName = QStringLiteral("org.gnome.Mutter.DisplayConfig");
const QString objectPath = QStringLiteral("/org/gnome/Mutter/DisplayConfig");

class DisplayConfig final : public QDBusVirtualObject {
public:
    explicit DisplayConfig(const QStringList& crtcs)
    {
        for (const QString& crtc : crtcs) {
            const int size = crtc.section(QLatin1Char(':'), 1, 1).toInt();
            Channel calibration;
            for (int i = 0; i < size; ++i)
                calibration.append(static_cast<quint16>(size > 1 ? 60000LL * i / (size - 1) : 0));
            tables_[crtc.section(QLatin1Char(':'), 0, 0).toUInt()] = {calibration, calibration, calibration};
        }
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override
    {
        if (message.interface() != interfaceName)
            return false;
        if (message.member() == QLatin1String("ApplyMonitorsConfig")) {
            ++serial_;
            bus.send(QDBusMessage::createSignal(objectPath, interfaceName, QStringLiteral("MonitorsChanged")));
            bus.send(message.createReply());
            return true;
        }
        bus.send(answer(message));
        return true;
    }

private:
    QDBusMessage answer(const QDBusMessage& message)
    {
        const QList<QVariant> in = message.arguments();
        if (message.member() == QLatin1String("GetResources")) {
            QList<Crtc> crtcs;
            for (const auto& [id, table] : tables_)
                crtcs.append({id, id, 0, 0, 800, 600, table[0].isEmpty() ? -1 : 0, 0, {0}, {}});
            QDBusMessage reply = message.createReply();
            reply << serial_ << QVariant::fromValue(crtcs) << QVariant::fromValue(QList<Output>())
                  << QVariant::fromValue(QList<Mode>{{0, 0, 800, 600, 60.0, 0}}) << 8192 << 8192;
            return reply;
        }
        const bool get = message.member() == QLatin1String("GetCrtcGamma");
        if (!get && message.member() != QLatin1String("SetCrtcGamma"))
            return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), message.member());
        const uint id = in.value(1).toUInt();
        const auto table = tables_.find(id);
        if (in.value(0).toUInt() != serial_ || table == tables_.end())
            return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                                            QStringLiteral("The requested configuration is based on stale information"));
        if (get) {
            QDBusMessage reply = message.createReply();
            for (const Channel& channel : table->second)
                reply << QVariant::fromValue(channel);
            return reply;
        }
        std::array<Channel, 3> given;
        for (int i = 0; i < 3; ++i)
            given[i] = qdbus_cast<Channel>(in.value(2 + i));
        if (given[0].isEmpty() || std::ranges::any_of(given, [&](const Channel& c) { return c.size() != table->second[0].size(); }))
            return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                            QStringLiteral("Invalid gamma length"));
        table->second = given;
        QString line = QStringLiteral("set %1").arg(id);
        for (const Channel& channel : given)
            line += QStringLiteral(" %1 %2").arg(channel.first()).arg(channel.last());
        say(line);
        return message.createReply();
    }

    std::map<uint, std::array<Channel, 3>> tables_;
    uint serial_ = 1;
};

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<Crtc>();
    qDBusRegisterMetaType<Output>();
    qDBusRegisterMetaType<Mode>();
    qDBusRegisterMetaType<QList<Crtc>>();
    qDBusRegisterMetaType<QList<Output>>();
    qDBusRegisterMetaType<QList<Mode>>();
    qDBusRegisterMetaType<Channel>();

    DisplayConfig config(application.arguments().mid(1));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(objectPath, &config) || !bus.registerService(interfaceName)) {
        std::fputs("fake-display-config: cannot take org.gnome.Mutter.DisplayConfig on the session bus\n", stderr);
        return 1;
    }
    say(QStringLiteral("ready"));
    return QCoreApplication::exec();
}
