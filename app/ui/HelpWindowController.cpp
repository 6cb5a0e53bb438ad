#include "ui/HelpWindowController.h"

#include "ui/GrayGradientView.h"
#include "ui/QtMessageAlert.h"
#include "ui/WindowPlacement.h"
#include "ui_HelpWindow.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QPalette>
#include <QProcess>
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
    return QUrl(QStringLiteral("mailto:%1?Subject=Lunaveil%20Support").arg(supportAddress()), QUrl::StrictMode);
}

QString HelpWindowController::supportAddress()
{
    return QStringLiteral("support@lunaveil.org");
}

bool HelpWindowController::desktopHasMailProgram()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/mailto")});
    return query.waitForFinished(3000) && query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0
        && !query.readAllStandardOutput().trimmed().isEmpty();
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
    // Qt hands a link to xdg-open, which fails only later and silently where no program takes it.
    if (mailProgramExists && mailProgramExists() && QDesktopServices::openUrl(supportMailUrl()))
        return;
    QGuiApplication::clipboard()->setText(supportAddress());
    QtMessageAlert alert(tr("No mail program is set up").toStdString(),
                         tr("Write to %1. The address is on the clipboard.").arg(supportAddress()).toStdString());
    alert.runModal();
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
