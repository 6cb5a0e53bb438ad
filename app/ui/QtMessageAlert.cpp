#include "ui/QtMessageAlert.h"

#include <QMessageBox>
#include <QPushButton>

namespace lunaveil {

QtMessageAlert::QtMessageAlert(const std::string& messageText, const std::string& informativeText)
    : box_(std::make_unique<QMessageBox>())
{
    box_->setIcon(QMessageBox::Information);
    box_->setWindowTitle(QStringLiteral("Lunaveil"));
    box_->setText(QString::fromStdString(messageText));
    box_->setInformativeText(QString::fromStdString(informativeText));
    QPushButton* close = box_->addButton(QStringLiteral("Close"), QMessageBox::AcceptRole);
    box_->setDefaultButton(close);
    box_->setEscapeButton(close);
    box_->setAttribute(Qt::WA_QuitOnClose, false);
}

QtMessageAlert::~QtMessageAlert() = default;

void QtMessageAlert::runModal()
{
    box_->exec();
}

}  // namespace lunaveil
