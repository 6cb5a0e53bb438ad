#pragma once
// The gamma ramps of Mutter's CRTCs, through org.gnome.Mutter.DisplayConfig on the session bus:
// GNOME's only way to display gamma on Wayland. Every call names the configuration it is based
// on (its serial); Mutter refuses a stale one, so a refusal re-reads the configuration once.

#include "platform/x11/CrtcGamma.h"

#include <QDBusConnection>
#include <QObject>

#include <cstdint>
#include <memory>

class QDBusMessage;

namespace lunaveil {

class MutterCrtcs final : public QObject, public CrtcGamma {
    Q_OBJECT
public:
    // Null when no DisplayConfig answers on `bus`, or none of its CRTCs lets its gamma be read.
    static std::unique_ptr<MutterCrtcs> create(const QDBusConnection& bus);

    std::vector<GammaOutput> crtcs() override;
    std::optional<GammaRamp> getRamp(CrtcId crtc) override;
    bool setRamp(CrtcId crtc, const GammaRamp& ramp) override;
    // Mutter's name on this bus and the bus's own: new for every Mutter started. Mutter keeps no
    // mark of a client's, so `create` changes nothing.
    std::string serverMark(bool create) override;
    // Whether Mutter still owns its name on the bus.
    bool answers() const;

private Q_SLOTS:
    void monitorsChanged();

private:
    explicit MutterCrtcs(const QDBusConnection& bus);
    // Reads the serial and the CRTCs in use with their ramp sizes; false when Mutter does not answer.
    bool readResources();
    QDBusMessage call(const QString& method, const QList<QVariant>& arguments = {}) const;
    std::optional<GammaRamp> readRamp(CrtcId crtc) const;

    QDBusConnection bus_;
    std::uint32_t serial_ = 0;
    bool known_ = false;  // serial_ and crtcs_ hold the configuration in force
    std::vector<GammaOutput> crtcs_;
};

}  // namespace lunaveil
