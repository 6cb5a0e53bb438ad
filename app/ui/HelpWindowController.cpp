#include "ui/HelpWindowController.h"

#include "ui/GrayGradientView.h"
#include "ui/WindowPlacement.h"
#include "ui_HelpWindow.h"

#include <QDesktopServices>
#include <QPalette>
#include <QWidget>

// Outside any namespace, as Qt's resource initialiser requires; naming it also keeps the linker
// from dropping the page out of this static library.
static void initHelpQrc()
{
    Q_INIT_RESOURCE(help);
}

namespace lunaveil {
namespace {

void bringToFront(QWidget& window)
{
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace

HelpWindowController::HelpWindowController() = default;

HelpWindowController::~HelpWindowController() = default;

QUrl HelpWindowController::helpPage()
{
    return QUrl(QStringLiteral("qrc:/help/Help.html"));
}

QUrl HelpWindowController::supportMailUrl()
{
    return QUrl(QStringLiteral("mailto:support@lunaveil.org?Subject=Lunaveil%20Support"), QUrl::StrictMode);
}

QWidget* HelpWindowController::window()
{
    if (!window_)
        windowDidLoad();
    return window_.get();
}

QTextBrowser* HelpWindowController::webviewOutlet()
{
    window();
    return ui_->webviewOutlet;
}

void HelpWindowController::showWindowService()
{
    bringToFront(*window());
}

void HelpWindowController::focus()
{
    showWindowService();
}

void HelpWindowController::contactSupportButtonClick()
{
    // Without a mail program nothing happens; Qt itself warns about it.
    QDesktopServices::openUrl(supportMailUrl());
}

void HelpWindowController::windowDidLoad()
{
    initHelpQrc();
    window_ = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    ui_ = std::make_unique<Ui::HelpWindow>();
    ui_->setupUi(window_.get());
    window_->setAttribute(Qt::WA_QuitOnClose, false);

    // The page sits on the window's grey, in light text.
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, GrayGradientView::endingColour());
    palette.setColor(QPalette::Base, GrayGradientView::endingColour());
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Link, QColor(170, 214, 255));
    palette.setColor(QPalette::LinkVisited, QColor(200, 190, 255));
    window_->setPalette(palette);
    window_->setAutoFillBackground(true);

    ui_->webviewOutlet->setSource(helpPage());
    QObject::connect(ui_->contactSupportButton, &QPushButton::clicked, window_.get(),
                     [this] { contactSupportButtonClick(); });
    centreOnScreen(*window_);
}

}  // namespace lunaveil
