#include "ui/GreetingsWindowController.h"

#include "ui/WindowPlacement.h"
#include "ui_GreetingsWindow.h"

#include <QEvent>
#include <QPalette>
#include <QTimer>
#include <QWidget>

namespace lunaveil {
namespace {

// Calls `closed` each time the watched window hides: closed by its button or its frame.
class CloseWatch final : public QObject {
public:
    explicit CloseWatch(std::function<void()> closed) : closed_(std::move(closed)) {}

private:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && !static_cast<QWidget*>(watched)->isVisible())
            closed_();
        return QObject::eventFilter(watched, event);
    }
    std::function<void()> closed_;
};

}  // namespace

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
    // Told once the click that closed the window is over: what opens next gets a clean pointer.
    closeWatch_ = std::make_unique<CloseWatch>([this] {
        QTimer::singleShot(0, closeWatch_.get(), [this] {
            if (onClosed)
                onClosed();
        });
    });
    window_->installEventFilter(closeWatch_.get());
    centreOnScreen(*window_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace lunaveil
