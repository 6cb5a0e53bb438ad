#include "BlendPresentation.h"

#include "effects/DisplayTransfer.h"
#include "effects/TintTiming.h"
#include "effects/TransferFormula.h"

#include <algorithm>
#include <utility>

namespace lunaveil {
namespace {

// A fade moves in 25 steps, as smooth as a window fade at 50 frames a second.
constexpr int fadeSteps = 25;
constexpr std::chrono::milliseconds fadeStep = tint::fadeDuration / fadeSteps;

}  // namespace

BlendPresentation::BlendPresentation(DisplayTransfer& transfer, Scheduler& scheduler)
    : transfer_(transfer), scheduler_(scheduler)
{
}

void BlendPresentation::show(const Colour& colour, double alphaPercent, Entry entry)
{
    colour_ = colour;
    alpha_ = alphaPercent / 100.0;
    onDisplays_ = true;
    if (transfer_.needsReapplying())
        reapplyTimer_ = scheduler_.schedule(tint::transferPeriod, true, [this] { apply(); });
    if (entry == Entry::Fade) {
        fadeTo(1.0);
        return;
    }
    cancelFade();
    level_ = 1.0;
    apply();
}

void BlendPresentation::stop()
{
    if (!onDisplays_) {
        transfer_.restoreColorSyncSettings();
        return;
    }
    fadeTo(0.0, [this] {
        onDisplays_ = false;
        if (reapplyTimer_)
            reapplyTimer_->invalidate();
        transfer_.restoreColorSyncSettings();
    });
}

void BlendPresentation::close()
{
    // Whatever replaces the blend on the displays next (an inversion, say) must not be overwritten.
    cancelFade();
    if (reapplyTimer_)
        reapplyTimer_->invalidate();
    onDisplays_ = false;
    level_ = 0.0;
}

void BlendPresentation::fadeTo(double level, std::function<void()> then)
{
    target_ = level;
    afterFade_ = std::move(then);
    if (!fading_) {
        fading_ = true;
        fadeTimer_ = scheduler_.schedule(fadeStep, true, [this] { step(); });
    }
}

void BlendPresentation::step()
{
    constexpr double stepSize = 1.0 / fadeSteps;
    level_ = target_ > level_ ? std::min(target_, level_ + stepSize) : std::max(target_, level_ - stepSize);
    apply();
    if (level_ != target_)
        return;
    fading_ = false;
    fadeTimer_->invalidate();  // not destroyed here: its own callback is running
    if (const auto then = std::exchange(afterFade_, {}))
        then();
}

void BlendPresentation::cancelFade()
{
    if (fadeTimer_)
        fadeTimer_->invalidate();
    fading_ = false;
    afterFade_ = {};
}

void BlendPresentation::apply()
{
    if (colour_)
        transfer_.setTransferOverCalibration(transfer_.getOnlineDisplayList(),
                                              blendFormula(*colour_, alpha_ * level_));
}

}  // namespace lunaveil
