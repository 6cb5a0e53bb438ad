#pragma once
// The tint: a fading overlay window per screen, or the True Colors transfer on every display.

#include "effects/OverlayWindow.h"
#include "effects/Scheduler.h"
#include "shell/Collaborators.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lunaveil {

class DisplayTransfer;

class BackgroundDimmerService final : public BackgroundDimmer {
public:
    // `transfer` may be null where no display gamma is reachable; it and the others must outlive the service.
    BackgroundDimmerService(OverlayScreens& screens, DisplayTransfer* transfer, Scheduler& scheduler,
                            std::function<std::unique_ptr<ScreenControl>()> makeScreenControl);
    BackgroundDimmerService(const BackgroundDimmerService&) = delete;
    BackgroundDimmerService& operator=(const BackgroundDimmerService&) = delete;

    bool serviceIsRunning() const override { return serviceIsRunning_; }
    void startService(const Colour& colour, double alphaPercent, bool trueColor) override;
    void changeBackground(const Colour& colour, double alphaPercent, bool trueColor) override;
    void stopService() override;
    void closeBackgroundWindows() override;

    // Applies the True Colors formula to every online display and re-applies it every second.
    void changeDisplayTrueColor();
    // The periodic screen check: a running tint restarts when the number of screens changed.
    void checkScreensChange();

    bool animationInProgress() const { return animationInProgress_; }
    std::size_t windowCount() const { return windows_.size(); }

private:
    void createBackgroundWindows();
    void startEnterAnimation();
    void startExitAnimation();
    void stopEnterAnimation();
    void stopExitAnimation();
    void restartForNewScreens();
    void applyTrueColor();
    void invalidateTrueColorTimer();
    void restoreDisplays();
    void setBrightness();
    Colour fillColour() const;

    OverlayScreens& screens_;
    DisplayTransfer* transfer_;
    Scheduler& scheduler_;
    std::function<std::unique_ptr<ScreenControl>()> makeScreenControl_;

    std::vector<std::unique_ptr<OverlayWindow>> windows_;
    std::optional<Colour> currentBackgroundColor_;
    std::optional<double> currentBackgroundAlpha_;
    bool animationInProgress_ = false;
    bool animationInterrupted_ = false;
    bool trueColor_ = false;
    int lastScreensCount_ = -1;
    std::unique_ptr<Timer> trueColorTimer_;
    std::unique_ptr<Timer> stopSignalTimer_;
    std::unique_ptr<Timer> screenCheckTimer_;
    bool serviceIsRunning_ = false;
};

}  // namespace lunaveil
