#pragma once
// The place the schedule's sunset and sunrise are computed for, set by hand.

#include "common/Coordinates.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace lunaveil {

// Latitude and longitude in degrees (north and east positive), in the user's or the C number
// format. OK with a place off the globe, or no number, says so in the dialog and stays open;
// "Use Time Zone" forgets the place set by hand.
class LocationDialog final : public QDialog {
    Q_OBJECT
public:
    explicit LocationDialog(const std::optional<Coordinates>& place, QWidget* parent = nullptr);

    // Called with the place chosen, or none for the time zone's.
    std::function<void(std::optional<Coordinates>)> onChosen;

    QLineEdit* latitudeField() const { return latitude_; }
    QLineEdit* longitudeField() const { return longitude_; }
    QLabel* messageLabel() const { return message_; }

    // The degrees in `text`, or none when it is no number within ±limit.
    static std::optional<double> degrees(const QString& text, double limit);

private:
    void choose();

    QLineEdit* latitude_;
    QLineEdit* longitude_;
    QLabel* message_;
};

}  // namespace lunaveil
