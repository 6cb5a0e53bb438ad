#pragma once
// The screens of the Qt application, each of which gets a tint overlay.

#include "platform/OverlayWindow.h"

#include <QObject>
#include <QRect>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QScreen;
class QWindow;

namespace lunaveil {

class X11Monitors;
class X11StackingGuard;

// Screens are QGuiApplication::screens(), primary first, less those that show part of another
// screen's picture: a mirrored monitor is one screen to the tint, or its area would be tinted
// twice. On X11 the areas are RandR's monitors, which follow a monitor moved where Qt's screens
// do not. onScreensChanged fires once, settleTime after the last of a run of screens added,
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
    // What one overlay covers: a RandR monitor, or else the whole of its screen, which it follows.
    struct Covered {
        QScreen* screen = nullptr;
        std::optional<QRect> monitor = {};
    };
    // Every monitor or screen to cover, mirrors left out.
    std::vector<Covered> coveredAreas() const;
    void watch(QScreen* screen);
    void announce();

    // Shared by every window made here, so they never contend for the top of the stack.
    std::shared_ptr<X11StackingGuard> stackingGuard_;
    std::unique_ptr<X11Monitors> monitors_;
    QObject context_;  // ends the connections with this object
    // A monitor plugged in or out reaches Qt as several RandR events, which under load it may
    // handle in separate passes; they make one announcement once none has come for a moment.
    QTimer settle_;
};

}  // namespace lunaveil
