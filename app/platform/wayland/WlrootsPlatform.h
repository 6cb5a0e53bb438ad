#pragma once
// The display platform of a wlroots compositor (sway, Hyprland, river, wayfire).

#include "platform/DisplayPlatform.h"
#include "platform/wayland/LayerShellOverlays.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WlrGamma.h"

#include <memory>

namespace lunaveil {

// Its gamma needs no journal: the compositor gives each output its own table back when
// Lunaveil lets go of it, also when Lunaveil dies.
class WlrootsPlatform final : public DisplayPlatform {
public:
    WlrootsPlatform(std::string name, DisplayCapabilities capabilities, std::unique_ptr<WaylandConnection> connection);

    DisplayGamma* gamma() override { return gamma_.get(); }
    OverlayScreens* overlayScreens() override { return overlays_.get(); }
    bool reachable() override { return connection_->answers(); }

private:
    std::unique_ptr<WaylandConnection> connection_;
    // After the connection they speak through, so they go first.
    std::unique_ptr<WlrGamma> gamma_;
    std::unique_ptr<LayerShellOverlays> overlays_;
};

}  // namespace lunaveil
