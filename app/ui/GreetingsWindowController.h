#pragma once
// The welcome window Lunaveil shows on its very first run.

#include "shell/Collaborators.h"

#include <QColor>
#include <QObject>

#include <memory>

class QWidget;

namespace Ui {
class GreetingsWindow;
}

namespace lunaveil {

// The window comes from GreetingsWindow.ui and shows itself as soon as it is built (on the first
// showServiceWindow). It floats above ordinary windows; its button closes it.
class GreetingsWindowController final : public GreetingsWindow {
public:
    static constexpr QColor lineColour() { return QColor(99, 102, 108); }

    GreetingsWindowController();
    ~GreetingsWindowController() override;

    // Brings the window to the front with the keyboard focus.
    void showServiceWindow() override;
    void closeServiceWindow();

    // The window, built (and shown) on the first call.
    QWidget* window();
    QWidget* lineViewOutlet();

private:
    void windowDidLoad();

    std::unique_ptr<QWidget> window_;
    std::unique_ptr<QObject> closeWatch_;  // tells onClosed
    std::unique_ptr<Ui::GreetingsWindow> ui_;
};

}  // namespace lunaveil
