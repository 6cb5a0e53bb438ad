#pragma once
// The tint: a fading overlay window per screen, or the True Colors transfer on every display.
// Where translucent windows do not blend (no compositor, or no overlay windows at all), the
// plain tint goes through the displays' transfer instead.

#include "effects/BlendPresentation.h"
#include "effects/OverlayPresentation.h"
#include "platform/OverlayWindow.h"
#include "effects/Scheduler.h"
#include "effects/TrueColorsPresentation.h"
#include "platform/Compositor.h"
#include "shell/Collaborators.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace lunaveil {

class DisplayTransfer;

// Keeps the tint's state and runs it through one presentation at a time: the overlay windows,
// the blend through the transfer, or True Colors.
class BackgroundDimmerService final : public BackgroundDimmer {
public:
    // `screens` may be null where the display platform offers no overlay windows, `transfer` where
    // it offers no display gamma (True Colors is then shown as the overlay), and `compositor` where
    // windows always blend; all must outlive the service.
    BackgroundDimmerService(OverlayScreens* screens, DisplayTransfer* transfer, Compositor* compositor,
                            Scheduler& scheduler, std::function<std::unique_ptr<ScreenControl>()> makeScreenControl);
    BackgroundDimmerService(const BackgroundDimmerService&) = delete;
    BackgroundDimmerService& operator=(const BackgroundDimmerService&) = delete;

    bool serviceIsRunning() const override { return serviceIsRunning_; }
    void startService(const Colour& colour, double alphaPercent, bool trueColor) override;
    void changeBackground(const Colour& colour, double alphaPercent, bool trueColor) override;
    void stopService() override;
    void closeBackgroundWindows() override;

private:
    // Shows the tint in force the way the platform and the compositor allow now.
    void present(TintPresentation::Entry entry);
    void restartForNewScreens();
    // Ends the tint on the screens, leaving the backlights as they are.
    void stopTint();
    void compositorChanged();
    bool windowsBlend() const;
    // True Colors where the displays take it; elsewhere the True Colors colour is shown as the overlay.
    bool trueColorShown() const { return trueColor_ && trueColors_; }
    int screenCount() const;
    void setBrightness();
    // Every presentation; null for those the platform cannot run.
    std::array<TintPresentation*, 3> presentations();

    OverlayScreens* screens_;
    DisplayTransfer* transfer_;
    Compositor* compositor_;
    std::function<std::unique_ptr<ScreenControl>()> makeScreenControl_;

    OverlayPresentation overlay_;
    std::optional<BlendPresentation> blend_;             // where there is a transfer
    std::optional<TrueColorsPresentation> trueColors_;   // likewise
    TintPresentation* shown_ = nullptr;                  // the presentation on the screens now

    std::optional<Colour> currentBackgroundColor_;
    std::optional<double> currentBackgroundAlpha_;
    bool trueColor_ = false;
    bool serviceIsRunning_ = false;
};

}  // namespace lunaveil
