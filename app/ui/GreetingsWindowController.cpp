#include "ui/GreetingsWindowController.h"

#include "ui/WindowPlacement.h"
#include "ui_GreetingsWindow.h"

#include <QPalette>
#include <QWidget>

namespace lunaveil {

GreetingsWindowController::GreetingsWindowController() = default;

GreetingsWindowController::~GreetingsWindowController() = default;

QWidget* GreetingsWindowController::window()
{
    if (!window_)
        windowDidLoad();
    return window_.get();
}

QWidget* GreetingsWindowController::lineViewOutlet()
{
    window();
    return ui_->lineViewOutlet;
}

void GreetingsWindowController::showServiceWindow()
{
    QWidget& shown = *window();
    shown.setWindowState(shown.windowState() & ~Qt::WindowMinimized);
    shown.show();
    shown.raise();
    shown.activateWindow();
}

void GreetingsWindowController::closeServiceWindow()
{
    if (window_)
        window_->close();
}

void GreetingsWindowController::windowDidLoad()
{
    window_ = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    ui_ = std::make_unique<Ui::GreetingsWindow>();
    ui_->setupUi(window_.get());
    window_->setAttribute(Qt::WA_QuitOnClose, false);
    // A window of one size is a dialog to tiling window managers (sway, i3): it floats, not tiles.
    window_->setFixedSize(window_->size().expandedTo(window_->minimumSizeHint()));

    // The thin line under the title: one flat colour.
    QPalette linePalette = ui_->lineViewOutlet->palette();
    linePalette.setColor(QPalette::Window, lineColour());
    ui_->lineViewOutlet->setPalette(linePalette);
    ui_->lineViewOutlet->setAutoFillBackground(true);

    QObject::connect(ui_->closeButton, &QPushButton::clicked, window_.get(), [this] { closeServiceWindow(); });
    centreOnScreen(*window_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace lunaveil
