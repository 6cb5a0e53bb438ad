#include "platform/wayland/WlrootsPlatform.h"

namespace lunaveil {

WlrootsPlatform::WlrootsPlatform(std::string name, DisplayCapabilities capabilities,
                                 std::unique_ptr<WaylandConnection> connection)
    : DisplayPlatform(std::move(name), capabilities), connection_(std::move(connection))
{
    connection_->onConnectionLost = [this] {
        if (const auto callback = onConnectionLost)
            callback();
    };
    if (capabilities.transfer)
        gamma_ = WlrGamma::create(*connection_);
    if (capabilities.overlays)
        overlays_ = LayerShellOverlays::create(*connection_);
    connection_->onOutputsChanged = [this] {
        if (gamma_)
            gamma_->outputsChanged();
        if (overlays_)
            overlays_->outputsChanged();
    };
}

}  // namespace lunaveil
