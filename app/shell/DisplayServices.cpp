#include "DisplayServices.h"

#include <QByteArray>
#include <QtGlobal>

namespace lunaveil {

DisplayServices::DisplayServices() : gamma_(X11DisplayGamma::create())
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
}

}  // namespace lunaveil
