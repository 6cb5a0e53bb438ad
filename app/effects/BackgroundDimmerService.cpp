#include "BackgroundDimmerService.h"

#include "effects/DisplayTransfer.h"
#include "effects/TransferFormula.h"
#include "settings/Constants.h"

namespace lunaveil {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds fromSeconds(double seconds) { return milliseconds(static_cast<long>(seconds * 1000)); }

constexpr milliseconds fadeDuration = fromSeconds(Constants::ANIMATION_DURATION);
constexpr milliseconds fadeStopSignal = fromSeconds(Constants::ANIMATION_DURATION_STOP_SIGNAL);
constexpr milliseconds screenCheckPeriod{3000};
constexpr milliseconds trueColorPeriod{1000};

}  // namespace

BackgroundDimmerService::BackgroundDimmerService(OverlayScreens& screens, DisplayTransfer* transfer,
                                                 Scheduler& scheduler,
                                                 std::function<std::unique_ptr<ScreenControl>()> makeScreenControl)
    : screens_(screens), transfer_(transfer), scheduler_(scheduler), makeScreenControl_(std::move(makeScreenControl))
{
    lastScreensCount_ = screens_.screenCount().value_or(0);
    createBackgroundWindows();
    screenCheckTimer_ = scheduler_.schedule(screenCheckPeriod, true, [this] { checkScreensChange(); });
    // A screen added, removed, resized or moved is covered again at once, not at the next check.
    screens_.onScreensChanged = [this] {
        if (serviceIsRunning_)
            restartForNewScreens();
        else
            createBackgroundWindows();
    };
}

Colour BackgroundDimmerService::fillColour() const
{
    return currentBackgroundColor_->colorWithAlphaComponent(*currentBackgroundAlpha_ / 100.0);
}

void BackgroundDimmerService::createBackgroundWindows()
{
    windows_ = screens_.createWindows();
}

void BackgroundDimmerService::startService(const Colour& colour, double alphaPercent, bool trueColor)
{
    serviceIsRunning_ = true;
    currentBackgroundColor_ = colour;
    currentBackgroundAlpha_ = alphaPercent;
    trueColor_ = trueColor;
    invalidateTrueColorTimer();
    createBackgroundWindows();
    if (trueColor_) {
        closeBackgroundWindows();
        changeDisplayTrueColor();
        return;
    }
    restoreDisplays();
    for (const auto& window : windows_)
        window->show();
    startEnterAnimation();
    setBrightness();
}

void BackgroundDimmerService::changeBackground(const Colour& colour, double alphaPercent, bool trueColor)
{
    currentBackgroundColor_ = colour;
    currentBackgroundAlpha_ = alphaPercent;
    trueColor_ = trueColor;
    if (!serviceIsRunning_)
        return;
    if (trueColor_) {
        closeBackgroundWindows();
        changeDisplayTrueColor();
        return;
    }
    invalidateTrueColorTimer();
    restoreDisplays();
    for (const auto& window : windows_)
        window->show();
    startEnterAnimation();
    const Colour fill = fillColour();
    for (const auto& window : windows_)
        window->setBackgroundColor(fill);
    setBrightness();
}

void BackgroundDimmerService::stopService()
{
    serviceIsRunning_ = false;
    closeBackgroundWindows();
    restoreDisplays();
}

void BackgroundDimmerService::closeBackgroundWindows()
{
    invalidateTrueColorTimer();
    startExitAnimation();
    for (const auto& window : windows_)
        window->close();
}

void BackgroundDimmerService::startEnterAnimation()
{
    const Colour fill = fillColour();
    if (animationInProgress_) {
        // A fade is pending: show the end state at once and let the pending handler only clear the flags.
        animationInterrupted_ = true;
        for (const auto& window : windows_) {
            window->setAlphaValue(1.0);
            window->setBackgroundColor(fill);
        }
        return;
    }
    animationInProgress_ = true;
    for (const auto& window : windows_)
        window->animateTo(1.0, fill, fadeDuration);
    stopSignalTimer_ = scheduler_.schedule(fadeStopSignal, false, [this] { stopEnterAnimation(); });
}

void BackgroundDimmerService::stopEnterAnimation()
{
    if (!animationInterrupted_) {
        const Colour fill = fillColour();
        for (const auto& window : windows_)
            window->setBackgroundColor(fill);
    }
    animationInterrupted_ = false;
    animationInProgress_ = false;
}

void BackgroundDimmerService::startExitAnimation()
{
    if (animationInProgress_) {
        animationInterrupted_ = true;
        for (const auto& window : windows_)
            window->animateTo(0.0, std::nullopt, fadeDuration);
        return;
    }
    animationInProgress_ = true;
    for (const auto& window : windows_)
        window->animateTo(0.0, std::nullopt, fadeDuration);
    stopSignalTimer_ = scheduler_.schedule(fadeStopSignal, false, [this] { stopExitAnimation(); });
}

void BackgroundDimmerService::stopExitAnimation()
{
    if (!animationInterrupted_) {
        for (const auto& window : windows_)
            window->setAlphaValue(0.0);
    }
    animationInterrupted_ = false;
    animationInProgress_ = false;
}

void BackgroundDimmerService::checkScreensChange()
{
    if (!serviceIsRunning_)
        return;
    const std::optional<int> count = screens_.screenCount();
    if (!count || *count == lastScreensCount_)
        return;
    restartForNewScreens();
}

void BackgroundDimmerService::restartForNewScreens()
{
    stopService();
    startService(*currentBackgroundColor_, *currentBackgroundAlpha_, trueColor_);
    lastScreensCount_ = screens_.screenCount().value_or(lastScreensCount_);
}

void BackgroundDimmerService::changeDisplayTrueColor()
{
    invalidateTrueColorTimer();
    trueColorTimer_ = scheduler_.schedule(trueColorPeriod, true, [this] { applyTrueColor(); });
    applyTrueColor();
}

void BackgroundDimmerService::applyTrueColor()
{
    const std::optional<TransferFormula> formula = trueColorFormula(*currentBackgroundColor_, *currentBackgroundAlpha_);
    if (!formula || transfer_ == nullptr)
        return;  // any other colour leaves the displays as they are
    for (const CrtcId display : transfer_->getOnlineDisplayList())
        transfer_->setTransferByFormula(display, *formula);
}

void BackgroundDimmerService::invalidateTrueColorTimer()
{
    if (trueColorTimer_)
        trueColorTimer_->invalidate();
}

void BackgroundDimmerService::restoreDisplays()
{
    if (transfer_ != nullptr)
        transfer_->restoreColorSyncSettings();
}

void BackgroundDimmerService::setBrightness()
{
    if (auto screenControl = makeScreenControl_())
        screenControl->setBrightnessLevel(Constants::DEFAULT_BRIGHTNESS_LEVEL);
}

}  // namespace lunaveil
