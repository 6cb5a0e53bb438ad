#pragma once
// The tint: a fading overlay window per screen, or the True Colors transfer on every display.
// Where no compositor blends translucent windows, the plain tint goes through the displays'
// transfer instead (each channel v becomes v·(1−a) + c·a), faded and re-applied the same way.

#include "effects/OverlayWindow.h"
#include "effects/Scheduler.h"
#include "platform/Compositor.h"
#include "shell/Collaborators.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lunaveil {

class DisplayTransfer;

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

    // Applies the True Colors formula to every online display and re-applies it every second.
    void changeDisplayTrueColor();
    // The periodic screen check: a running tint restarts when the number of screens changed.
    void checkScreensChange();

    bool animationInProgress() const { return animationInProgress_; }
    // The plain tint is being shown through the displays' transfer rather than windows.
    bool blendsThroughTransfer() const { return blendShown_; }
    std::size_t windowCount() const { return windows_.size(); }

private:
    void createBackgroundWindows();
    void startEnterAnimation();
    void startExitAnimation();
    void stopEnterAnimation();
    void stopExitAnimation();
    void restartForNewScreens();
    // Ends the tint on the screens, leaving the backlights as they are.
    void stopTint();
    void applyTransfer();
    bool windowsBlend() const;
    // True Colors where the displays take it; elsewhere the True Colors colour is shown as the overlay.
    bool trueColorShown() const { return trueColor_ && transfer_ != nullptr; }
    int screenCount() const;
    void showPlainTint(bool fade);
    void armTransferTimer();
    void fadeBlendTo(double level, std::function<void()> then = {});
    void stepBlend();
    void cancelBlendFade();
    void compositorChanged();
    void invalidateTrueColorTimer();
    void restoreDisplays();
    void setBrightness();
    Colour fillColour() const;

    OverlayScreens* screens_;
    DisplayTransfer* transfer_;
    Compositor* compositor_;
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
    // The plain tint through the transfer: how much of it is on the displays (0..1), where a fade leads,
    // and what follows the fade.
    bool plainShown_ = false;  // the plain tint is on screen, by windows or by blend
    bool blendShown_ = false;
    bool blendFading_ = false;
    double blendLevel_ = 0.0;
    double blendTarget_ = 0.0;
    std::function<void()> afterBlendFade_;
    std::unique_ptr<Timer> blendFadeTimer_;
    bool serviceIsRunning_ = false;
};

}  // namespace lunaveil
