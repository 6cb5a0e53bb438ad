#pragma once
// The display platform of an X server: X11 itself, or XWayland within a Wayland session.

#include "platform/DisplayPlatform.h"
#include "platform/x11/CompositorWatch.h"
#include "platform/x11/RandrCrtcs.h"
#include "platform/x11/X11DisplayGamma.h"

#include <memory>
#include <optional>

namespace lunaveil {

class X11Platform final : public DisplayPlatform {
public:
    // Over the server `crtcs` reaches. With capabilities.transfer its gamma is Lunaveil's, the
    // originals journalled in `journal`; unless windows always blend, the compositor is watched.
    X11Platform(std::string name, DisplayCapabilities capabilities, std::unique_ptr<RandrCrtcs> crtcs,
                GammaJournal journal);

    DisplayGamma* gamma() override { return gamma_.get(); }
    Compositor* compositor() override { return compositor_.get(); }
    GammaRecovery restoreAfterCrash() override;
    bool reachable() override { return crtcs_ && crtcs_->serverAnswers(); }

private:
    std::unique_ptr<RandrCrtcs> crtcs_;
    std::unique_ptr<X11DisplayGamma> gamma_;
    std::unique_ptr<CompositorWatch> compositor_;
};

}  // namespace lunaveil
