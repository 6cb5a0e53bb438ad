#pragma once
// The tint overlay of one screen as a real, click-through, always-on-top Qt window.

#include "effects/OverlayWindow.h"

#include <QPointer>
#include <QVariantAnimation>

#include <memory>

class QScreen;
class QWindow;

namespace lunaveil {

class OverlaySurface;
class X11StackingGuard;

// A frameless, translucent, override-redirect window over the whole of one screen, following
// its geometry. It paints its fill with alpha = fill alpha × alpha value itself, so the result
// does not depend on how a compositor treats window opacity; without a compositor X11 shows
// translucent windows opaque. Fades of the alpha value and of the fill run independently and
// cost nothing once finished. When its screen goes away the window hides and stays hidden.
class QtOverlayWindow final : public OverlayWindow {
public:
    // `stackingGuard` (may be null) keeps the window on top while shown; the windows of one
    // display share one guard.
    QtOverlayWindow(QScreen* screen, std::shared_ptr<X11StackingGuard> stackingGuard);
    ~QtOverlayWindow() override;

    QtOverlayWindow(const QtOverlayWindow&) = delete;
    QtOverlayWindow& operator=(const QtOverlayWindow&) = delete;

    void show() override;
    void close() override;
    void setAlphaValue(double alpha) override;
    void setBackgroundColor(const Colour& fill) override;
    void animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds duration) override;

    // The alpha value shown now (part way through a fade while one runs).
    double alphaValue() const { return alpha_; }
    // The fill last set, or the one a running fade of it ends at.
    Colour backgroundColor() const { return fill_; }
    bool isFading() const;
    // The window itself, for placing and inspecting it.
    QWindow* window() const;

private:
    struct Rgba {
        double red = 0.0;
        double green = 0.0;
        double blue = 0.0;
        double alpha = 0.0;
    };
    static Rgba rgbaOf(const Colour& colour);

    void applyAlpha(double alpha);
    void applyFill(const Rgba& shown);
    void repaint();
    void followScreen();
    void screenGone();

    std::shared_ptr<X11StackingGuard> stackingGuard_;
    QPointer<QScreen> screen_;
    std::unique_ptr<OverlaySurface> surface_;
    double alpha_ = 0.0;
    Colour fill_;
    Rgba shownFill_;  // differs from fill_ while the fill fades
    Rgba fadeFrom_;
    Rgba fadeTo_;
    bool guarded_ = false;
    // Last, so they stop before the surface they paint goes away.
    QVariantAnimation alphaFade_;
    QVariantAnimation fillFade_;
};

}  // namespace lunaveil
