#pragma once
// Where the user is as GeoClue tells (org.freedesktop.GeoClue2 on the system bus), at the accuracy
// of a city: enough for sunset and sunrise, and no more than they need.

#include "common/Coordinates.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>

#include <optional>

namespace lunaveil {

// Asks nothing until start(): a desktop's GeoClue agent may ask the user first, which only the
// schedule that follows the sun is worth. Without GeoClue, or refused, there is simply no place.
class GeoClueLocation final : public QObject {
    Q_OBJECT
public:
    // The system bus, connected at start(), unless another is given.
    explicit GeoClueLocation(std::optional<QDBusConnection> bus = std::nullopt);
    ~GeoClueLocation() override;

    // Asks GeoClue for updates, once; later calls do nothing.
    void start();
    const std::optional<Coordinates>& place() const { return place_; }

Q_SIGNALS:
    void placeChanged();

private Q_SLOTS:
    void locationUpdated(const QDBusObjectPath& previous, const QDBusObjectPath& current);

private:
    void clientReady(const QDBusObjectPath& client);

    std::optional<QDBusConnection> bus_;
    QString client_;
    bool started_ = false;
    std::optional<Coordinates> place_;
};

}  // namespace lunaveil
