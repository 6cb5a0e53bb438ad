#include "ui/QtMessageAlert.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

namespace lunaveil {

QtMessageAlert::QtMessageAlert(const std::string& messageText, const std::string& informativeText)
    : box_(std::make_unique<QMessageBox>())
{
    box_->setIcon(QMessageBox::Information);
    box_->setWindowTitle(QStringLiteral("Lunaveil"));
    box_->setText(QString::fromStdString(messageText));
    box_->setInformativeText(QString::fromStdString(informativeText));
    QPushButton* close = box_->addButton(tr("Close"),
                                           QMessageBox::AcceptRole);
    box_->setDefaultButton(close);
    box_->setEscapeButton(close);
    box_->setAttribute(Qt::WA_QuitOnClose, false);

    // The message is the heading, the informative text its explanation.
    if (auto* heading = box_->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
    }
    // Wide enough that a sentence or two stays on a line or two; the box sizes itself to its
    // layout, so a spacer across it sets the width.
    if (auto* grid = qobject_cast<QGridLayout*>(box_->layout()))
        grid->addItem(new QSpacerItem(minimumWidth(), 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                      0, 1, grid->columnCount());
}

int QtMessageAlert::minimumWidth() const
{
    return box_->fontMetrics().averageCharWidth() * 56;
}

QtMessageAlert::~QtMessageAlert() = default;

void QtMessageAlert::runModal()
{
    box_->exec();
}

}  // namespace lunaveil
