#include "DisplayServices.h"

#include "platform/XdgDirectories.h"

#include <QByteArray>
#include <QtGlobal>

namespace lunaveil {

DisplayServices::DisplayServices()
    : gamma_(X11DisplayGamma::create()), backlight_("/sys", runtimeDirectory() / "lunaveil" / "backlight.record")
{
    if (!gamma_)
        return;
    const QByteArray display = qgetenv("DISPLAY");
    transfer_ = std::make_unique<DisplayTransfer>(*gamma_, GammaJournal(GammaJournal::defaultFile(display.toStdString())));
}

void DisplayServices::giveBack()
{
    if (transfer_)
        transfer_->restoreColorSyncSettings();
    backlight_.restoreBrightness();
}

}  // namespace lunaveil
