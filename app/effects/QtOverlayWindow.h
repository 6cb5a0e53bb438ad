#pragma once
// The tint overlay of one screen as a real, click-through, always-on-top Qt window.

#include "platform/FadingFill.h"
#include "platform/OverlayWindow.h"

#include <QPointer>
#include <QRect>

#include <memory>
#include <optional>

class QScreen;
class QWindow;

namespace lunaveil {

class OverlaySurface;
class X11StackingGuard;

// A frameless, translucent, override-redirect window over the whole of one screen, following
// its geometry, or over the area of a monitor the display server gave. It paints its fill with
// alpha = fill alpha × alpha value itself, so the result does not depend on how a compositor
// treats window opacity; without a compositor X11 shows translucent windows opaque. Fades of the alpha value and of the fill run independently and
// cost nothing once finished. When its screen goes away the window hides and stays hidden.
class QtOverlayWindow final : public OverlayWindow {
public:
    // `stackingGuard` (may be null) keeps the window on top while shown; the windows of one
    // display share one guard.
    QtOverlayWindow(QScreen* screen, std::shared_ptr<X11StackingGuard> stackingGuard, std::optional<QRect> area = {});
    ~QtOverlayWindow() override;

    QtOverlayWindow(const QtOverlayWindow&) = delete;
    QtOverlayWindow& operator=(const QtOverlayWindow&) = delete;

    void show() override;
    void close() override;
    void setAlphaValue(double alpha) override;
    void setBackgroundColor(const Colour& fill) override;
    void animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds duration) override;

    // The alpha value shown now (part way through a fade while one runs).
    double alphaValue() const { return fill_.alphaValue(); }
    // The fill last set, or the one a running fade of it ends at.
    Colour backgroundColor() const { return fill_.backgroundColor(); }
    bool isFading() const { return fill_.isFading(); }
    // The window itself, for placing and inspecting it.
    QWindow* window() const;

private:
    void followScreen();
    void screenGone();

    std::shared_ptr<X11StackingGuard> stackingGuard_;
    QPointer<QScreen> screen_;
    std::optional<QRect> area_;
    std::unique_ptr<OverlaySurface> surface_;
    bool guarded_ = false;
    // Last, so its fades stop before the surface they paint goes away.
    FadingFill fill_;
};

}  // namespace lunaveil
