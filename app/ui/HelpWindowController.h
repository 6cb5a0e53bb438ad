#pragma once
// The help window: Lunaveil's help page, and a button that writes to support.

#include "shell/Collaborators.h"

#include <QCoreApplication>
#include <QUrl>

#include <functional>
#include <memory>

class QTextBrowser;
class QWidget;

namespace Ui {
class HelpWindow;
}

namespace lunaveil {

// The window comes from HelpWindow.ui and is built, with the page ":/help/Help.html" in its
// browser, on the first showWindowService. It floats above ordinary windows; closing it hides it,
// and the next request shows the same window again.
class HelpWindowController final : public HelpWindow {
    Q_DECLARE_TR_FUNCTIONS(lunaveil::HelpWindowController)

public:
    HelpWindowController();
    ~HelpWindowController() override;

    // Brings the window to the front with the keyboard focus.
    void showWindowService() override;
    void focus() override;
    // Opens the support mail in the user's mail program; without one, shows the address and
    // puts it on the clipboard.
    void contactSupportButtonClick();
    // Whether the desktop names a program for mailto: links (xdg-mime's default).
    std::function<bool()> mailProgramExists = &desktopHasMailProgram;
    static bool desktopHasMailProgram();

    // The window, built on the first call.
    QWidget* window();
    QTextBrowser* webviewOutlet();

    static QUrl helpPage();
    static QUrl supportMailUrl();
    static QString supportAddress();

private:
    void windowDidLoad();

    std::unique_ptr<QWidget> window_;
    std::unique_ptr<Ui::HelpWindow> ui_;
};

}  // namespace lunaveil
