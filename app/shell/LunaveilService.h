#pragma once
// Lunaveil on the session bus (com.quorvex.Lunaveil1 at /com/quorvex/Lunaveil): the tint's state
// as properties, written through the hub's handlers, for scripts, key bindings and the command line.

#include "common/Clock.h"
#include "common/Colour.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusVirtualObject>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace lunaveil {

class PresetersMainHub;
struct TintState;

// The wire form of the Colour property: sRGB red, green and blue in 0..1.
struct DBusRgb {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    friend bool operator==(const DBusRgb&, const DBusRgb&) = default;
};
QDBusArgument& operator<<(QDBusArgument& argument, const DBusRgb& rgb);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusRgb& rgb);

// Why a write was not done: the D-Bus error to answer with, its text naming the property.
struct Refusal {
    QDBusError::ErrorType type = QDBusError::InvalidArgs;
    QString message;
    friend bool operator==(const Refusal&, const Refusal&) = default;
};

// The properties and methods of the interface, read by the adaptor generated from
// resources/com.quorvex.Lunaveil1.xml. Writes go through write(): a value out of range is
// refused with InvalidArgs, one the session cannot serve (True Colors without display gamma)
// with NotSupported; either way nothing changes.
class LunaveilService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool TintEnabled READ tintEnabled)
    Q_PROPERTY(bool TrueColors READ trueColors)
    Q_PROPERTY(bool InvertColors READ invertColors)
    Q_PROPERTY(double Opacity READ opacity)
    Q_PROPERTY(lunaveil::DBusRgb Colour READ colour)
    Q_PROPERTY(bool ScheduleActive READ scheduleActive)
    Q_PROPERTY(QString ScheduleStart READ scheduleStart)
    Q_PROPERTY(QString ScheduleStop READ scheduleStop)
    Q_PROPERTY(QStringList Capabilities READ capabilities)

public:
    static constexpr const char* interfaceName = "com.quorvex.Lunaveil1";

    // `hub` gives the hub once it runs (null before); stateChanged() is to be called after each
    // change of its state.
    explicit LunaveilService(std::function<PresetersMainHub*()> hub);
    ~LunaveilService() override;

    // Sends PropertiesChanged for whatever differs from what the bus last saw.
    void stateChanged();

    // Writes one property, its value of the property's own type, through the matching handler.
    std::optional<Refusal> write(const QString& property, const QVariant& value);

    bool tintEnabled() const;
    bool trueColors() const;
    bool invertColors() const;
    double opacity() const;
    DBusRgb colour() const;
    bool scheduleActive() const;
    QString scheduleStart() const;
    QString scheduleStop() const;
    QStringList capabilities() const;
    // Every property by its name, as GetAll gives them.
    QVariantMap properties() const;

    // "HH:MM" of today in local time, or nothing when the text is no such time.
    static std::optional<TimePoint> timeOfDay(const QString& text);
    static QString timeText(TimePoint time);
    // The colour the bus's red, green and blue stand for, or nothing when one is not in 0..1.
    static std::optional<Colour> colourOf(const DBusRgb& rgb);

public Q_SLOTS:
    void Toggle();
    void ShowPopover();
    void Quit();

private:
    TintState state() const;

    std::function<PresetersMainHub*()> hub_;
    QVariantMap seen_;
};

// The object at /com/quorvex/Lunaveil: the generated adaptor's interface (its introspection, its
// methods and reads), writes through LunaveilService::write so that a refused one is answered
// with an error, and the ShowPopover of a second start (com.quorvex.Lunaveil).
class LunaveilBusObject final : public QDBusVirtualObject {
    Q_OBJECT
public:
    // The service must outlive this; the adaptor is made here, as the service's child.
    explicit LunaveilBusObject(LunaveilService& service);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    bool handleProperties(const QDBusMessage& message, const QDBusConnection& connection);

    LunaveilService& service_;
    QObject* adaptor_;
};

}  // namespace lunaveil

Q_DECLARE_METATYPE(lunaveil::DBusRgb)
