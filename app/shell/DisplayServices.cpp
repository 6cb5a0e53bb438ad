#include "DisplayServices.h"

#include "platform/OpenDisplayPlatform.h"

namespace lunaveil {

DisplayServices::DisplayServices(std::shared_ptr<const RuntimeFolder> journalFolder, std::optional<pid_t> journalOwner)
    : platform_(openDisplayPlatform(journalFolder, journalOwner)), backlight_("/sys", journalFolder)
{
    if (DisplayGamma* gamma = platform_->gamma())
        transfer_ = std::make_unique<DisplayTransfer>(*gamma);
}

void DisplayServices::giveBack()
{
    if (transfer_)
        transfer_->restoreColorSyncSettings();
    backlight_.restoreBrightness();
}

}  // namespace lunaveil
