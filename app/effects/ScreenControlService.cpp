#include "ScreenControlService.h"

#include "effects/DisplayTransfer.h"
#include "platform/Backlight.h"

namespace lunaveil {

ScreenControlService::ScreenControlService(DisplayTransfer* transfer, std::filesystem::path sysfsRoot)
    : transfer_(transfer), sysfsRoot_(std::move(sysfsRoot))
{
}

void ScreenControlService::setBrightnessLevel(float level)
{
    Backlight(sysfsRoot_).setBrightnessLevel(level);
}

void ScreenControlService::setContrast(bool inverted)
{
    if (transfer_ == nullptr)
        return;
    const auto& table = inverted ? invertedTable : straightTable;
    for (const CrtcId display : transfer_->getOnlineDisplayList())
        transfer_->setTransferByTable(display, table, table, table);
}

}  // namespace lunaveil
