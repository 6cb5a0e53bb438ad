#include "OverlayPresentation.h"

#include "effects/DisplayTransfer.h"
#include "effects/TintTiming.h"

namespace lunaveil {

OverlayPresentation::OverlayPresentation(OverlayScreens* screens, DisplayTransfer* transfer, Scheduler& scheduler)
    : screens_(screens), transfer_(transfer), scheduler_(scheduler)
{
    rebuildWindows();
}

void OverlayPresentation::rebuildWindows()
{
    if (screens_ != nullptr)
        windows_ = screens_->createWindows();
}

void OverlayPresentation::show(const Colour& colour, double alphaPercent, Entry entry)
{
    fill_ = colour.colorWithAlphaComponent(alphaPercent / 100.0);
    if (transfer_ != nullptr)
        transfer_->restoreColorSyncSettings();
    if (entry == Entry::AtOnce) {
        for (const auto& window : windows_) {
            window->setBackgroundColor(fill_);
            window->setAlphaValue(1.0);
            window->show();
        }
        return;
    }
    for (const auto& window : windows_)
        window->show();
    startEnterAnimation();
    if (entry == Entry::Change) {
        for (const auto& window : windows_)
            window->setBackgroundColor(fill_);
    }
}

void OverlayPresentation::stop()
{
    close();
    if (transfer_ != nullptr)
        transfer_->restoreColorSyncSettings();
}

void OverlayPresentation::close()
{
    startExitAnimation();
    for (const auto& window : windows_)
        window->close();
}

void OverlayPresentation::hideAtOnce()
{
    for (const auto& window : windows_) {
        window->setAlphaValue(0.0);
        window->close();
    }
}

void OverlayPresentation::startEnterAnimation()
{
    if (animationInProgress_) {
        // A fade is pending: show the end state at once and let the pending handler only clear the flags.
        animationInterrupted_ = true;
        for (const auto& window : windows_) {
            window->setAlphaValue(1.0);
            window->setBackgroundColor(fill_);
        }
        return;
    }
    animationInProgress_ = true;
    for (const auto& window : windows_)
        window->animateTo(1.0, fill_, tint::fadeDuration);
    stopSignalTimer_ = scheduler_.schedule(tint::fadeStopSignal, false, [this] { stopEnterAnimation(); });
}

void OverlayPresentation::stopEnterAnimation()
{
    if (!animationInterrupted_) {
        for (const auto& window : windows_)
            window->setBackgroundColor(fill_);
    }
    animationInterrupted_ = false;
    animationInProgress_ = false;
}

void OverlayPresentation::startExitAnimation()
{
    for (const auto& window : windows_)
        window->animateTo(0.0, std::nullopt, tint::fadeDuration);
    if (animationInProgress_) {
        animationInterrupted_ = true;
        return;
    }
    animationInProgress_ = true;
    stopSignalTimer_ = scheduler_.schedule(tint::fadeStopSignal, false, [this] { stopExitAnimation(); });
}

void OverlayPresentation::stopExitAnimation()
{
    if (!animationInterrupted_) {
        for (const auto& window : windows_)
            window->setAlphaValue(0.0);
    }
    animationInterrupted_ = false;
    animationInProgress_ = false;
}

}  // namespace lunaveil
