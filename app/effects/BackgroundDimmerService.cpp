#include "BackgroundDimmerService.h"

#include "effects/DisplayTransfer.h"
#include "settings/Constants.h"

#include <QtGlobal>

namespace lunaveil {
BackgroundDimmerService::BackgroundDimmerService(OverlayScreens* screens, DisplayTransfer* transfer,
                                                 Compositor* compositor, Scheduler& scheduler,
                                                 std::function<std::unique_ptr<ScreenControl>()> makeScreenControl)
    : screens_(screens),
      transfer_(transfer),
      compositor_(compositor),
      makeScreenControl_(std::move(makeScreenControl)),
      overlay_(screens, transfer, scheduler)
{
    if (transfer_ != nullptr) {
        blend_.emplace(*transfer_, scheduler);
        trueColors_.emplace(*transfer_, scheduler);
    }
    if (screens_ == nullptr)
        return;  // no windows to follow the screens or to blend: the transfer follows the displays itself
    // Screens arrive as events only (Qt's, RandR's, wl_output's), settled by the screens' owner: a
    // screen added, removed, resized or moved is covered again at once, and nothing polls.
    screens_->onScreensChanged = [this] {
        if (serviceIsRunning_)
            restartForNewScreens();
        else
            overlay_.rebuildWindows();
    };
    if (compositor_ != nullptr)
        compositor_->onChanged = [this] { compositorChanged(); };
}

bool BackgroundDimmerService::windowsBlend() const
{
    return screens_ != nullptr && (compositor_ == nullptr || compositor_->isActive());
}

int BackgroundDimmerService::screenCount() const
{
    return screens_ != nullptr ? screens_->screenCount().value_or(0) : 0;
}

void BackgroundDimmerService::startService(const Colour& colour, double alphaPercent, bool trueColor)
{
    serviceIsRunning_ = true;
    currentBackgroundColor_ = colour;
    currentBackgroundAlpha_ = alphaPercent;
    trueColor_ = trueColor;
    overlay_.rebuildWindows();
    present(TintPresentation::Entry::Fade);
}

void BackgroundDimmerService::changeBackground(const Colour& colour, double alphaPercent, bool trueColor)
{
    currentBackgroundColor_ = colour;
    currentBackgroundAlpha_ = alphaPercent;
    trueColor_ = trueColor;
    if (serviceIsRunning_)
        present(TintPresentation::Entry::Change);
}

void BackgroundDimmerService::present(TintPresentation::Entry entry)
{
    const Colour& colour = *currentBackgroundColor_;
    const double alpha = *currentBackgroundAlpha_;
    if (trueColorShown()) {
        closeBackgroundWindows();
        shown_ = &*trueColors_;
        trueColors_->show(colour, alpha, entry);
        return;
    }
    if (trueColors_)
        trueColors_->close();
    if (windowsBlend()) {
        if (blend_)
            blend_->close();
        shown_ = &overlay_;  // which also ends True Colors and an inversion
    } else if (blend_) {
        // Without a compositor a translucent window shows opaque: blend through the transfer instead.
        shown_ = &*blend_;
    } else {
        shown_ = nullptr;
        qWarning("Lunaveil: with neither overlay windows that blend nor display gamma, the tint cannot be shown.");
    }
    if (shown_ != nullptr)
        shown_->show(colour, alpha, entry);
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
    serviceIsRunning_ = false;
    TintPresentation* const shown = std::exchange(shown_, nullptr);
    for (TintPresentation* presentation : presentations()) {
        if (presentation != nullptr && presentation != shown)
            presentation->close();
    }
    if (shown != nullptr)
        shown->stop();  // the blend fades out first
    else if (transfer_ != nullptr)
        transfer_->restoreColorSyncSettings();
}

void BackgroundDimmerService::closeBackgroundWindows()
{
    shown_ = nullptr;
    for (TintPresentation* presentation : presentations()) {
        if (presentation != nullptr)
            presentation->close();
    }
}

std::array<TintPresentation*, 3> BackgroundDimmerService::presentations()
{
    return {blend_ ? &*blend_ : nullptr, trueColors_ ? &*trueColors_ : nullptr, &overlay_};
}

void BackgroundDimmerService::restartForNewScreens()
{
    if (shown_ != &overlay_) {
        // The tint is on the displays, and the transfer tints a new one itself, or an inversion holds
        // them: only the (hidden) windows follow the screens, so the other monitors never flash.
        overlay_.rebuildWindows();
    } else {
        // The backlights stay as they are: the restart lowers them again anyway.
        stopTint();
        startService(*currentBackgroundColor_, *currentBackgroundAlpha_, trueColor_);
    }
}

void BackgroundDimmerService::compositorChanged()
{
    if (!serviceIsRunning_ || shown_ == nullptr || trueColorShown())
        return;
    // The same tint, switched at once to the other way of showing it.
    TintPresentation* next = nullptr;
    if (windowsBlend()) {
        if (blend_)
            blend_->close();
        next = &overlay_;
    } else if (blend_) {
        overlay_.hideAtOnce();
        next = &*blend_;
    }
    if (next == nullptr || next == shown_)
        return;
    shown_ = next;
    shown_->show(*currentBackgroundColor_, *currentBackgroundAlpha_, TintPresentation::Entry::AtOnce);
}

void BackgroundDimmerService::setBrightness()
{
    if (auto screenControl = makeScreenControl_())
        screenControl->setBrightnessLevel(Constants::DEFAULT_BRIGHTNESS_LEVEL);
}

}  // namespace lunaveil
