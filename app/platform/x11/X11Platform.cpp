#include "platform/x11/X11Platform.h"

namespace lunaveil {

X11Platform::X11Platform(std::string name, DisplayCapabilities capabilities, std::unique_ptr<RandrCrtcs> crtcs,
                         GammaJournal journal)
    : DisplayPlatform(std::move(name), capabilities), crtcs_(std::move(crtcs))
{
    if (crtcs_) {
        crtcs_->onConnectionLost = [this] {
            if (const auto callback = onConnectionLost)
                callback();
        };
        // XWayland is never given a ramp: none would reach a screen, and its own are garbage to keep.
        if (capabilities.transfer)
            gamma_ = std::make_unique<X11DisplayGamma>(*crtcs_, std::move(journal));
    }
    if (!capabilities.windowsAlwaysBlend)
        compositor_ = std::make_unique<CompositorWatch>();
}

GammaRecovery X11Platform::restoreAfterCrash()
{
    return gamma_ ? gamma_->restoreFromJournal() : GammaRecovery{};
}

}  // namespace lunaveil
