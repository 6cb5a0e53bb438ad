#pragma once
// The screens of the Qt application, each of which gets a tint overlay.

#include "platform/OverlayWindow.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QScreen;
class QWindow;

namespace lunaveil {

class X11StackingGuard;

// Screens are QGuiApplication::screens(), primary first, less those that show part of another
// screen's picture: a mirrored monitor is one screen to the tint, or its area would be tinted
// twice. onScreensChanged fires once, settleTime after the last of a run of screens added,
// removed or changed in geometry.
class QtOverlayScreens final : public OverlayScreens {
public:
    static constexpr std::chrono::milliseconds settleTime{100};

    // Without a QGuiApplication there is no screen list: screenCount() is empty. windowsAbove
    // gives the windows of Lunaveil's own that stand above the overlays (its popover and the
    // windows it opens); without it, the overlays cover every other window.
    explicit QtOverlayScreens(std::function<std::vector<QWindow*>()> windowsAbove = {});
    ~QtOverlayScreens() override;

    QtOverlayScreens(const QtOverlayScreens&) = delete;
    QtOverlayScreens& operator=(const QtOverlayScreens&) = delete;

    std::optional<int> screenCount() const override;
    std::vector<std::unique_ptr<OverlayWindow>> createWindows() override;

private:
    static std::vector<QScreen*> coveredScreens();
    void watch(QScreen* screen);
    void announce();

    // Shared by every window made here, so they never contend for the top of the stack.
    std::shared_ptr<X11StackingGuard> stackingGuard_;
    QObject context_;  // ends the connections with this object
    // A monitor plugged in or out reaches Qt as several RandR events, which under load it may
    // handle in separate passes; they make one announcement once none has come for a moment.
    QTimer settle_;
};

}  // namespace lunaveil
