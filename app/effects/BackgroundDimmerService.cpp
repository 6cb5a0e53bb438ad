#include "BackgroundDimmerService.h"

#include "effects/DisplayTransfer.h"
#include "effects/TransferFormula.h"
#include "settings/Constants.h"

#include <QtGlobal>
#include <algorithm>

namespace lunaveil {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds fromSeconds(double seconds) { return milliseconds(static_cast<long>(seconds * 1000)); }

constexpr milliseconds fadeDuration = fromSeconds(Constants::ANIMATION_DURATION);
constexpr milliseconds fadeStopSignal = fromSeconds(Constants::ANIMATION_DURATION_STOP_SIGNAL);
constexpr milliseconds screenCheckPeriod{3000};
constexpr milliseconds transferPeriod{1000};
// A fade through the transfer moves in 25 steps, as smooth as a window fade at 50 frames a second.
constexpr int blendFadeSteps = 25;
constexpr milliseconds blendFadeStep = fadeDuration / blendFadeSteps;

}  // namespace

BackgroundDimmerService::BackgroundDimmerService(OverlayScreens* screens, DisplayTransfer* transfer,
                                                 Compositor* compositor, Scheduler& scheduler,
                                                 std::function<std::unique_ptr<ScreenControl>()> makeScreenControl)
    : screens_(screens),
      transfer_(transfer),
      compositor_(compositor),
      scheduler_(scheduler),
      makeScreenControl_(std::move(makeScreenControl))
{
    lastScreensCount_ = screenCount();
    createBackgroundWindows();
    if (screens_ == nullptr)
        return;  // no windows to follow the screens or to blend: the transfer follows the displays itself
    screenCheckTimer_ = scheduler_.schedule(screenCheckPeriod, true, [this] { checkScreensChange(); });
    // A screen added, removed, resized or moved is covered again at once, not at the next check.
    screens_->onScreensChanged = [this] {
        if (serviceIsRunning_) {
            restartForNewScreens();
        } else {
            createBackgroundWindows();
            // Else the first check after the next start would restart the tint for nothing.
            lastScreensCount_ = screens_->screenCount().value_or(lastScreensCount_);
        }
    };
    if (compositor_ != nullptr)
        compositor_->onChanged = [this] { compositorChanged(); };
}

Colour BackgroundDimmerService::fillColour() const
{
    return currentBackgroundColor_->colorWithAlphaComponent(*currentBackgroundAlpha_ / 100.0);
}

bool BackgroundDimmerService::windowsBlend() const
{
    return screens_ != nullptr && (compositor_ == nullptr || compositor_->isActive());
}

int BackgroundDimmerService::screenCount() const
{
    return screens_ != nullptr ? screens_->screenCount().value_or(0) : 0;
}

void BackgroundDimmerService::createBackgroundWindows()
{
    if (screens_ != nullptr)
        windows_ = screens_->createWindows();
}

void BackgroundDimmerService::startService(const Colour& colour, double alphaPercent, bool trueColor)
{
    serviceIsRunning_ = true;
    currentBackgroundColor_ = colour;
    currentBackgroundAlpha_ = alphaPercent;
    trueColor_ = trueColor;
    invalidateTrueColorTimer();
    createBackgroundWindows();
    if (trueColorShown()) {
        closeBackgroundWindows();
        changeDisplayTrueColor();
        return;
    }
    showPlainTint(true);
}

void BackgroundDimmerService::changeBackground(const Colour& colour, double alphaPercent, bool trueColor)
{
    currentBackgroundColor_ = colour;
    currentBackgroundAlpha_ = alphaPercent;
    trueColor_ = trueColor;
    if (!serviceIsRunning_)
        return;
    if (trueColorShown()) {
        closeBackgroundWindows();
        changeDisplayTrueColor();
        return;
    }
    showPlainTint(false);
}

void BackgroundDimmerService::showPlainTint(bool fade)
{
    invalidateTrueColorTimer();
    plainShown_ = true;
    if (windowsBlend()) {
        cancelBlendFade();
        blendShown_ = false;
        blendLevel_ = 0.0;
        restoreDisplays();  // also ends True Colors and an inversion
        for (const auto& window : windows_)
            window->show();
        startEnterAnimation();
        if (!fade) {
            const Colour fill = fillColour();
            for (const auto& window : windows_)
                window->setBackgroundColor(fill);
        }
    } else if (transfer_ != nullptr) {
        // Without a compositor a translucent window shows opaque: blend through the transfer instead.
        blendShown_ = true;
        armTransferTimer();
        if (fade) {
            fadeBlendTo(1.0);
        } else {
            cancelBlendFade();
            blendLevel_ = 1.0;
            applyTransfer();
        }
    } else {
        qWarning("Lunaveil: with neither overlay windows that blend nor display gamma, the tint cannot be shown.");
    }
    setBrightness();
}

void BackgroundDimmerService::stopService()
{
    stopTint();
    if (auto screenControl = makeScreenControl_())
        screenControl->restoreBrightness();
}

void BackgroundDimmerService::stopTint()
{
    const bool blendOnDisplays = blendShown_;
    serviceIsRunning_ = false;
    closeBackgroundWindows();
    if (blendOnDisplays && transfer_ != nullptr) {
        blendShown_ = true;  // still on the displays until its fade-out ends
        fadeBlendTo(0.0, [this] {
            blendShown_ = false;
            restoreDisplays();
        });
        return;
    }
    restoreDisplays();
}

void BackgroundDimmerService::closeBackgroundWindows()
{
    invalidateTrueColorTimer();
    // Whatever replaces a blend on the displays next (an inversion, say) must not be overwritten.
    cancelBlendFade();
    blendShown_ = false;
    plainShown_ = false;
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
    for (const auto& window : windows_)
        window->animateTo(0.0, std::nullopt, fadeDuration);
    if (animationInProgress_) {
        animationInterrupted_ = true;
        return;
    }
    animationInProgress_ = true;
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
    const std::optional<int> count = screens_->screenCount();
    if (!count || *count == lastScreensCount_)
        return;
    restartForNewScreens();
}

void BackgroundDimmerService::restartForNewScreens()
{
    if (trueColorShown() || blendShown_ || !plainShown_) {
        // The tint is on the displays, and the transfer tints a new CRTC itself, or an inversion holds
        // them: only the (hidden) windows follow the screens, so the other monitors never flash.
        createBackgroundWindows();
    } else {
        // The backlights stay as they are: the restart lowers them again anyway.
        stopTint();
        startService(*currentBackgroundColor_, *currentBackgroundAlpha_, trueColor_);
    }
    lastScreensCount_ = screens_->screenCount().value_or(lastScreensCount_);
}

void BackgroundDimmerService::changeDisplayTrueColor()
{
    cancelBlendFade();
    blendShown_ = false;
    blendLevel_ = 0.0;
    armTransferTimer();
    applyTransfer();
}

void BackgroundDimmerService::armTransferTimer()
{
    invalidateTrueColorTimer();
    trueColorTimer_ = scheduler_.schedule(transferPeriod, true, [this] { applyTransfer(); });
}

// The transfer in force, applied to every online display; run again every second so that
// another program's change lasts no longer than that.
void BackgroundDimmerService::applyTransfer()
{
    if (transfer_ == nullptr)
        return;
    std::optional<TransferFormula> formula;
    if (trueColorShown() && !blendShown_)
        formula = trueColorFormula(*currentBackgroundColor_, *currentBackgroundAlpha_);
    else if (blendShown_)
        formula = blendFormula(*currentBackgroundColor_, *currentBackgroundAlpha_ / 100.0 * blendLevel_);
    if (!formula)
        return;  // any other True Colors colour leaves the displays as they are
    transfer_->setTransferByFormula(transfer_->getOnlineDisplayList(), *formula);
}

void BackgroundDimmerService::fadeBlendTo(double level, std::function<void()> then)
{
    blendTarget_ = level;
    afterBlendFade_ = std::move(then);
    if (!blendFading_) {
        blendFading_ = true;
        blendFadeTimer_ = scheduler_.schedule(blendFadeStep, true, [this] { stepBlend(); });
    }
}

void BackgroundDimmerService::stepBlend()
{
    constexpr double step = 1.0 / blendFadeSteps;
    blendLevel_ = blendTarget_ > blendLevel_ ? std::min(blendTarget_, blendLevel_ + step)
                                             : std::max(blendTarget_, blendLevel_ - step);
    applyTransfer();
    if (blendLevel_ != blendTarget_)
        return;
    blendFading_ = false;
    blendFadeTimer_->invalidate();  // not destroyed here: its own callback is running
    if (const auto then = std::exchange(afterBlendFade_, {}))
        then();
}

void BackgroundDimmerService::cancelBlendFade()
{
    if (blendFadeTimer_)
        blendFadeTimer_->invalidate();
    blendFading_ = false;
    afterBlendFade_ = {};
}

void BackgroundDimmerService::compositorChanged()
{
    if (!serviceIsRunning_ || trueColorShown() || !plainShown_)
        return;
    // The same tint, switched at once to the other way of showing it.
    if (windowsBlend()) {
        cancelBlendFade();
        blendShown_ = false;
        blendLevel_ = 0.0;
        invalidateTrueColorTimer();
        restoreDisplays();
        const Colour fill = fillColour();
        for (const auto& window : windows_) {
            window->setBackgroundColor(fill);
            window->setAlphaValue(1.0);
            window->show();
        }
    } else if (transfer_ != nullptr) {
        for (const auto& window : windows_) {
            window->setAlphaValue(0.0);
            window->close();
        }
        cancelBlendFade();
        blendShown_ = true;
        blendLevel_ = 1.0;
        armTransferTimer();
        applyTransfer();
    }
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
