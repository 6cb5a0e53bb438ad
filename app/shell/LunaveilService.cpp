#include "shell/LunaveilService.h"

#include "LunaveilAdaptor.h"
#include "effects/TransferFormula.h"
#include "shell/PresetersMainHub.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDateTime>
#include <QRegularExpression>

#include <chrono>
#include <cmath>

namespace lunaveil {
namespace {

const QString objectPath = QStringLiteral("/com/quorvex/Lunaveil");

const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
// A second start of every Lunaveil so far calls ShowPopover here.
const QString secondStartInterface = QStringLiteral("com.quorvex.Lunaveil");

DBusRgb wireColour(const Colour& colour)
{
    const Rgb rgb = colour.toRgb();
    return {rgb.red, rgb.green, rgb.blue};
}

bool unit(double value)
{
    return std::isfinite(value) && value >= 0.0 && value <= 1.0;
}

}  // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const DBusRgb& rgb)
{
    argument.beginStructure();
    argument << rgb.red << rgb.green << rgb.blue;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusRgb& rgb)
{
    argument.beginStructure();
    argument >> rgb.red >> rgb.green >> rgb.blue;
    argument.endStructure();
    return argument;
}

LunaveilService::LunaveilService(std::function<PresetersMainHub*()> hub) : hub_(std::move(hub))
{
    qDBusRegisterMetaType<DBusRgb>();
}

LunaveilService::~LunaveilService() = default;

TintState LunaveilService::state() const
{
    const PresetersMainHub* hub = hub_();
    return hub != nullptr ? hub->state() : TintState{};
}

bool LunaveilService::tintEnabled() const { return state().tintRunning; }
bool LunaveilService::trueColors() const { return state().trueColor; }
bool LunaveilService::invertColors() const { return state().inverted; }
double LunaveilService::opacity() const { return state().alphaPercent; }
bool LunaveilService::scheduleActive() const { return state().scheduleActive; }
QString LunaveilService::scheduleStart() const { return timeText(state().scheduleStart); }
QString LunaveilService::scheduleStop() const { return timeText(state().scheduleStop); }
DBusRgb LunaveilService::colour() const { return wireColour(state().colour); }

QStringList LunaveilService::capabilities() const
{
    const PresetersMainHub* hub = hub_();
    if (hub == nullptr)
        return {};
    QStringList offered;
    if (hub->effectsOffered().tint)
        offered << QStringLiteral("tint");
    if (hub->effectsOffered().displayGamma)
        offered << QStringLiteral("true-colors") << QStringLiteral("invert-colors");
    return offered;
}

std::optional<Refusal> LunaveilService::write(const QString& property, const QVariant& value)
{
    const auto refused = [&](const QString& why, QDBusError::ErrorType type = QDBusError::InvalidArgs) {
        return std::optional(Refusal{type, QStringLiteral("%1: %2").arg(property, why)});
    };
    PresetersMainHub* hub = hub_();
    if (hub == nullptr)
        return refused(QStringLiteral("Lunaveil is still starting"), QDBusError::Failed);
    const TintState now = hub->state();
    const EffectsOffered& offered = hub->effectsOffered();
    const QString noGamma = QStringLiteral("this session offers no display gamma");
    const QString time = QStringLiteral("a time of day as HH:MM is needed");

    // Each property and the control whose handler it goes through.
    if (property == u"TintEnabled") {
        if (value.toBool() && !offered.tint)
            return refused(QStringLiteral("this session can show no tint"), QDBusError::NotSupported);
        hub->switchTint(value.toBool());
    } else if (property == u"TrueColors") {
        if (value.toBool() && !offered.displayGamma)
            return refused(noGamma, QDBusError::NotSupported);
        if (value.toBool() != now.trueColor)
            hub->switchTrueColors(value.toBool());
    } else if (property == u"InvertColors") {
        if (value.toBool() && !offered.displayGamma)
            return refused(noGamma, QDBusError::NotSupported);
        hub->switchInverseColors(value.toBool());
    } else if (property == u"Opacity") {
        const double percent = value.toDouble();
        if (!std::isfinite(percent) || percent < 0.0 || percent > 100.0)
            return refused(QStringLiteral("a percentage from 0 to 100 is needed"));
        hub->changeOpacity(percent);
    } else if (property == u"Colour") {
        const std::optional<Colour> chosen = colourOf(value.value<DBusRgb>());
        if (!chosen)
            return refused(QStringLiteral("red, green and blue from 0 to 1 are needed"));
        if (now.trueColor && !trueColorFormula(*chosen, 100.0))
            return refused(QStringLiteral("True Colors takes red, orange, yellow, green, blue or black"));
        hub->changeColour(*chosen);
    } else if (property == u"ScheduleActive") {
        hub->changeSchedule(value.toBool(), now.scheduleStart, now.scheduleStop);
    } else if (property == u"ScheduleStart") {
        const std::optional<TimePoint> start = timeOfDay(value.toString());
        if (!start)
            return refused(time);
        hub->changeSchedule(now.scheduleActive, *start, now.scheduleStop);
    } else if (property == u"ScheduleStop") {
        const std::optional<TimePoint> stop = timeOfDay(value.toString());
        if (!stop)
            return refused(time);
        hub->changeSchedule(now.scheduleActive, now.scheduleStart, *stop);
    } else {
        return refused(QStringLiteral("no such property can be written"), QDBusError::UnknownProperty);
    }
    return std::nullopt;
}

void LunaveilService::Toggle()
{
    if (PresetersMainHub* hub = hub_())
        hub->toggleTint();
}

void LunaveilService::ShowPopover()
{
    if (PresetersMainHub* hub = hub_())
        hub->showPopover();
}

void LunaveilService::Quit()
{
    if (PresetersMainHub* hub = hub_())
        hub->onQuitRequest();
}

std::optional<TimePoint> LunaveilService::timeOfDay(const QString& text)
{
    static const QRegularExpression hoursAndMinutes(QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch match = hoursAndMinutes.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDateTime today(QDate::currentDate(), QTime(match.captured(1).toInt(), match.captured(2).toInt()));
    return TimePoint(std::chrono::milliseconds(today.toMSecsSinceEpoch()));
}

QString LunaveilService::timeText(TimePoint time)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm"));
}

std::optional<Colour> LunaveilService::colourOf(const DBusRgb& rgb)
{
    if (!unit(rgb.red) || !unit(rgb.green) || !unit(rgb.blue))
        return std::nullopt;
    // Black and white are grey colours, as their swatches are.
    if (rgb.red == rgb.green && rgb.green == rgb.blue && (rgb.red == 0.0 || rgb.red == 1.0))
        return Colour::grey(rgb.red);
    return Colour::rgb(rgb.red, rgb.green, rgb.blue);
}

// One look at the hub for all of them: the state reads the stored schedule.
QVariantMap LunaveilService::properties() const
{
    const TintState now = state();
    return {{QStringLiteral("TintEnabled"), now.tintRunning},
            {QStringLiteral("TrueColors"), now.trueColor},
            {QStringLiteral("InvertColors"), now.inverted},
            {QStringLiteral("Opacity"), now.alphaPercent},
            {QStringLiteral("Colour"), QVariant::fromValue(wireColour(now.colour))},
            {QStringLiteral("ScheduleActive"), now.scheduleActive},
            {QStringLiteral("ScheduleStart"), timeText(now.scheduleStart)},
            {QStringLiteral("ScheduleStop"), timeText(now.scheduleStop)},
            {QStringLiteral("Capabilities"), capabilities()}};
}

void LunaveilService::stateChanged()
{
    const QVariantMap now = properties();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (seen_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    seen_ = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(interfaceName) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

LunaveilBusObject::LunaveilBusObject(LunaveilService& service)
    : service_(service), adaptor_(new LunaveilAdaptor(&service))  // owned by the service, as adaptors are
{
}

QString LunaveilBusObject::introspect(const QString&) const
{
    const QMetaObject& meta = *adaptor_->metaObject();
    return QString::fromUtf8(meta.classInfo(meta.indexOfClassInfo("D-Bus Introspection")).value())
        + QStringLiteral("  <interface name=\"%1\">\n    <method name=\"ShowPopover\"/>\n  </interface>\n")
              .arg(secondStartInterface);
}

bool LunaveilBusObject::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.interface() == propertiesInterface)
        return handleProperties(message, connection);
    const QString interface = message.interface();
    const QString member = message.member();
    const bool ours = interface == QLatin1String(LunaveilService::interfaceName) || interface.isEmpty();
    if ((ours && (member == u"Toggle" || member == u"ShowPopover" || member == u"Quit"))
        || (interface == secondStartInterface && member == u"ShowPopover")) {
        // The reply goes first: Quit ends the event loop that would send it.
        connection.send(message.createReply());
        QMetaObject::invokeMethod(&service_, member.toLatin1().constData(), Qt::QueuedConnection);
        return true;
    }
    return false;
}

bool LunaveilBusObject::handleProperties(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QList<QVariant> arguments = message.arguments();
    const QString interface = arguments.value(0).toString();
    const QString name = arguments.value(1).toString();
    const auto answer = [&](const QDBusMessage& reply) {
        connection.send(reply);
        return true;
    };
    if (!interface.isEmpty() && interface != QLatin1String(LunaveilService::interfaceName))
        return answer(message.createErrorReply(QDBusError::UnknownInterface, interface));
    const QMetaObject& meta = *adaptor_->metaObject();
    if (message.member() == u"GetAll")
        return answer(message.createReply(QVariant::fromValue(service_.properties())));
    const int index = meta.indexOfProperty(name.toLatin1().constData());
    if (index < meta.propertyOffset())
        return answer(message.createErrorReply(QDBusError::UnknownProperty, name));
    const QMetaProperty property = meta.property(index);
    if (message.member() == u"Get")
        return answer(message.createReply(QVariant::fromValue(QDBusVariant(adaptor_->property(property.name())))));
    if (message.member() != u"Set")
        return false;
    if (!property.isWritable())
        return answer(message.createErrorReply(QDBusError::PropertyReadOnly, name));
    // The value must come in the property's own D-Bus type.
    const QVariant given = arguments.value(2).value<QDBusVariant>().variant();
    const QString wanted = QString::fromLatin1(QDBusMetaType::typeToSignature(property.metaType()));
    const bool structure = given.metaType() == QMetaType::fromType<QDBusArgument>();
    const QString signature = structure ? given.value<QDBusArgument>().currentSignature()
                                        : QString::fromLatin1(QDBusMetaType::typeToSignature(given.metaType()));
    if (signature != wanted)
        return answer(message.createErrorReply(
            QDBusError::InvalidArgs, QStringLiteral("%1: a value of type %2 is needed, not %3").arg(name, wanted, signature)));
    QVariant value = given;
    if (structure)
        value = QVariant::fromValue(qdbus_cast<DBusRgb>(given.value<QDBusArgument>()));
    if (const std::optional<Refusal> refusal = service_.write(name, value))
        return answer(message.createErrorReply(refusal->type, refusal->message));
    return answer(message.createReply());
}

}  // namespace lunaveil
