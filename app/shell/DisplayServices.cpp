#include "DisplayServices.h"

namespace lunaveil {

DisplayServices::DisplayServices(std::shared_ptr<const RuntimeFolder> journalFolder, std::optional<pid_t> journalOwner)
    : gamma_(X11DisplayGamma::create()), backlight_("/sys", journalFolder)
{
    if (!gamma_)
        return;
    transfer_ = std::make_unique<DisplayTransfer>(
        *gamma_, GammaJournal(std::move(journalFolder), X11DisplayGamma::canonicalDisplayName(), journalOwner));
}

void DisplayServices::giveBack()
{
    if (transfer_)
        transfer_->restoreColorSyncSettings();
    backlight_.restoreBrightness();
}

}  // namespace lunaveil
