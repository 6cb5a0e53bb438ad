#pragma once
// The screens of the Qt application, each of which gets a tint overlay.

#include "effects/OverlayWindow.h"

#include <QObject>

#include <memory>
#include <vector>

class QScreen;

namespace lunaveil {

class X11StackingGuard;

// Screens are QGuiApplication::screens(), primary first, less those that show part of another
// screen's picture: a mirrored monitor is one screen to the tint, or its area would be tinted
// twice. onScreensChanged fires once per event-loop pass however many screens were added,
// removed or changed geometry in it.
class QtOverlayScreens final : public OverlayScreens {
public:
    // Without a QGuiApplication there is no screen list: screenCount() is empty.
    QtOverlayScreens();
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
    QObject context_;  // ends the connections and queued announcements with this object
    bool announcing_ = false;
};

}  // namespace lunaveil
