#include "ui/QtColourPanel.h"

#include "ui/QtColour.h"

#include <QColorDialog>
#include <QCoreApplication>

#include <utility>

namespace lunaveil {

QtColourPanel::QtColourPanel() : dialog_(std::make_unique<QColorDialog>())
{
    dialog_->setWindowTitle(QCoreApplication::translate("lunaveil::QtColourPanel", "Lunaveil Custom Color"));
    // Qt's own dialog: it reports every change as it happens, and without OK and Cancel it stays
    // open beside the popover like a panel.
    dialog_->setOptions(QColorDialog::DontUseNativeDialog | QColorDialog::NoButtons);
    dialog_->setModal(false);
    dialog_->setAttribute(Qt::WA_QuitOnClose, false);
    QObject::connect(dialog_.get(), &QColorDialog::currentColorChanged, dialog_.get(), [this] {
        if (settingColour_)
            return;
        if (const auto callback = onColorChanged)
            callback();
    });
}

QtColourPanel::~QtColourPanel() = default;

void QtColourPanel::setColor(const Colour& colour)
{
    const bool wasSetting = std::exchange(settingColour_, true);
    dialog_->setCurrentColor(toQColor(colour.colorWithAlphaComponent(1.0)));
    settingColour_ = wasSetting;
}

Colour QtColourPanel::color() const
{
    const QColor current = dialog_->currentColor().toRgb();
    return Colour::rgb(current.redF(), current.greenF(), current.blueF(), 1.0, ColourSpace::DeviceRGB);
}

void QtColourPanel::makeKeyAndOrderFront()
{
    dialog_->setWindowState(dialog_->windowState() & ~Qt::WindowMinimized);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

}  // namespace lunaveil
