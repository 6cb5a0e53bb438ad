#include "TrueColorsPresentation.h"

#include "effects/DisplayTransfer.h"
#include "effects/TintTiming.h"
#include "effects/TransferFormula.h"

namespace lunaveil {

TrueColorsPresentation::TrueColorsPresentation(DisplayTransfer& transfer, Scheduler& scheduler)
    : transfer_(transfer), scheduler_(scheduler)
{
}

void TrueColorsPresentation::show(const Colour& colour, double alphaPercent, Entry)
{
    colour_ = colour;
    alphaPercent_ = alphaPercent;
    if (transfer_.needsReapplying())
        reapplyTimer_ = scheduler_.schedule(tint::transferPeriod, true, [this] { apply(); });
    apply();
}

void TrueColorsPresentation::stop()
{
    close();
    transfer_.restoreColorSyncSettings();
}

void TrueColorsPresentation::close()
{
    if (reapplyTimer_)
        reapplyTimer_->invalidate();
}

void TrueColorsPresentation::apply()
{
    if (!colour_)
        return;
    if (const auto formula = trueColorFormula(*colour_, alphaPercent_))
        transfer_.setTransferByFormula(transfer_.getOnlineDisplayList(), *formula);
}

}  // namespace lunaveil
