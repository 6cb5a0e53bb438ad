#include "ScreenControlService.h"

#include "effects/DisplayTransfer.h"
#include "platform/Backlight.h"

namespace lunaveil {

ScreenControlService::ScreenControlService(DisplayTransfer* transfer, Backlight* backlight)
    : transfer_(transfer), backlight_(backlight)
{
}

void ScreenControlService::setBrightnessLevel(float level)
{
    if (backlight_ != nullptr)
        backlight_->lowerBrightnessTo(level);
}

void ScreenControlService::restoreBrightness()
{
    if (backlight_ != nullptr)
        backlight_->restoreBrightness();
}

void ScreenControlService::setContrast(bool inverted)
{
    if (transfer_ == nullptr)
        return;
    const auto& table = inverted ? invertedTable : straightTable;
    for (const DisplayId display : transfer_->getOnlineDisplayList())
        transfer_->setTransferByTable(display, table, table, table);
}

}  // namespace lunaveil
