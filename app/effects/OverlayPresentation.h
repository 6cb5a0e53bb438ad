#pragma once
// The tint as a fading, click-through overlay window on every screen.

#include "platform/OverlayWindow.h"
#include "effects/Scheduler.h"
#include "effects/TintPresentation.h"

#include <memory>
#include <optional>
#include <vector>

namespace lunaveil {

class DisplayTransfer;

// A fade that another interrupts leaves the newer state alone: its end handler only clears the flags.
class OverlayPresentation final : public TintPresentation {
public:
    // `screens` may be null (no overlay windows: nothing is shown), `transfer` where there is no
    // display gamma to give back; both must outlive this.
    OverlayPresentation(OverlayScreens* screens, DisplayTransfer* transfer, Scheduler& scheduler);

    // Gives the displays back their colours (ending True Colors or an inversion), then shows the windows.
    void show(const Colour& colour, double alphaPercent, Entry entry) override;
    void stop() override;
    void close() override;

    // Off the screens without a fade, for a switch to another way of showing the same tint.
    void hideAtOnce();
    // One hidden window per current screen.
    void rebuildWindows();

private:
    void startEnterAnimation();
    void stopEnterAnimation();
    void startExitAnimation();
    void stopExitAnimation();

    OverlayScreens* screens_;
    DisplayTransfer* transfer_;
    Scheduler& scheduler_;
    std::vector<std::unique_ptr<OverlayWindow>> windows_;
    Colour fill_;
    bool animationInProgress_ = false;
    bool animationInterrupted_ = false;
    std::unique_ptr<Timer> stopSignalTimer_;
};

}  // namespace lunaveil
