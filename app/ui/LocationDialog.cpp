#include "ui/LocationDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace lunaveil {

LocationDialog::LocationDialog(const std::optional<Coordinates>& place, QWidget* parent)
    : QDialog(parent), latitude_(new QLineEdit(this)), longitude_(new QLineEdit(this)), message_(new QLabel(this))
{
    setWindowTitle(tr("Lunaveil Location"));
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("Sunset and sunrise are computed for this place. Without one, Lunaveil uses your time "
                                "zone's."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    latitude_->setPlaceholderText(tr("for example 52.52 (north) or -33.87 (south)"));
    longitude_->setPlaceholderText(tr("for example 13.40 (east) or -78.47 (west)"));
    form->addRow(tr("Latitude:"), latitude_);
    form->addRow(tr("Longitude:"), longitude_);
    layout->addLayout(form);
    message_->setWordWrap(true);
    QPalette warning = message_->palette();
    warning.setColor(QPalette::WindowText, QColor(200, 30, 30));
    message_->setPalette(warning);
    message_->hide();
    layout->addWidget(message_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* timeZone = buttons->addButton(tr("Use Time Zone"), QDialogButtonBox::ResetRole);
    layout->addWidget(buttons);
    if (place) {
        latitude_->setText(QLocale().toString(place->latitude, 'f', 4));
        longitude_->setText(QLocale().toString(place->longitude, 'f', 4));
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &LocationDialog::choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(timeZone, &QPushButton::clicked, this, [this] {
        if (const auto callback = onChosen)
            callback(std::nullopt);
        accept();
    });
}

std::optional<double> LocationDialog::degrees(const QString& text, double limit)
{
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > limit)
        return std::nullopt;
    return value;
}

void LocationDialog::choose()
{
    const std::optional<double> latitude = degrees(latitude_->text(), 90.0);
    const std::optional<double> longitude = degrees(longitude_->text(), 180.0);
    if (!latitude || !longitude) {
        message_->setText(!latitude ? tr("The latitude must be a number of degrees from -90 to 90.")
                                    : tr("The longitude must be a number of degrees from -180 to 180."));
        message_->show();
        (!latitude ? latitude_ : longitude_)->setFocus();
        return;
    }
    if (const auto callback = onChosen)
        callback(Coordinates{*latitude, *longitude});
    accept();
}

}  // namespace lunaveil
