#pragma once
// The display platform of a GNOME Wayland session: gamma through Mutter's DisplayConfig, and
// the overlay as XWayland windows, whose empty input shape Mutter honours.

#include "platform/DisplayPlatform.h"
#include "platform/gnome/MutterCrtcs.h"
#include "platform/x11/RandrCrtcs.h"
#include "platform/x11/X11DisplayGamma.h"

#include <memory>

namespace lunaveil {

// Mutter keeps a ramp after the client that set it has gone, as an X server does: the first
// ramp of each CRTC is kept in memory and in the journal before Lunaveil changes it.
class GnomePlatform final : public DisplayPlatform {
public:
    // `xwayland` (null without XWayland) is the connection the overlay windows go through.
    GnomePlatform(std::string name, DisplayCapabilities capabilities, std::unique_ptr<MutterCrtcs> crtcs,
                  GammaJournal journal, std::unique_ptr<RandrCrtcs> xwayland);

    DisplayGamma* gamma() override { return &gamma_; }
    GammaRecovery restoreAfterCrash() override { return gamma_.restoreFromJournal(); }
    bool reachable() override { return crtcs_->answers(); }

private:
    std::unique_ptr<MutterCrtcs> crtcs_;
    X11DisplayGamma gamma_;
    std::unique_ptr<RandrCrtcs> xwayland_;
};

}  // namespace lunaveil
