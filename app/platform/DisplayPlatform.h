#pragma once
// A display platform: what the session's display server lets Lunaveil do, and the parts that do it.

#include "platform/Compositor.h"
#include "platform/DisplayGamma.h"
#include "platform/OverlayWindow.h"

#include <functional>
#include <string>

namespace lunaveil {

struct DisplayCapabilities {
    bool transfer = false;            // display gamma: True Colors, Invert Colors, the blend
    bool overlays = false;            // click-through overlay windows above every other window
    bool windowsAlwaysBlend = false;  // translucent windows blend with no compositing manager to watch
    friend bool operator==(const DisplayCapabilities&, const DisplayCapabilities&) = default;
};

// One is chosen at start (see DisplayPlatformChoice). As it stands this one offers nothing:
// the platform of a session without a display Lunaveil can use.
class DisplayPlatform {
public:
    DisplayPlatform(std::string name, DisplayCapabilities capabilities)
        : name_(std::move(name)), capabilities_(capabilities)
    {
    }
    virtual ~DisplayPlatform() = default;
    DisplayPlatform(const DisplayPlatform&) = delete;
    DisplayPlatform& operator=(const DisplayPlatform&) = delete;

    // For people: "X11", "XWayland (sway)", "none".
    const std::string& name() const { return name_; }
    DisplayCapabilities capabilities() const { return capabilities_; }

    // Null unless capabilities().transfer.
    virtual DisplayGamma* gamma() { return nullptr; }
    // Whether translucent windows blend now, and when that changes; null where they always do.
    virtual Compositor* compositor() { return nullptr; }
    // Overlay windows of the platform's own; null where the toolkit's windows are the overlay
    // (as on X11), or where there are none (see capabilities().overlays).
    virtual OverlayScreens* overlayScreens() { return nullptr; }
    // Undoes what a run that died left on the displays, where the server does not do so itself.
    virtual GammaRecovery restoreAfterCrash() { return {}; }
    // Whether the displays can still be reached to be given back (one round trip where it applies).
    virtual bool reachable() { return false; }

    // Called once on the main thread when the display server went away.
    std::function<void()> onConnectionLost;
    // Where the session keeps the display gamma from Lunaveil, why True Colors is not offered and
    // what the user can do instead; null where the session has nothing to say.
    std::function<std::string()> whyNoDisplayGamma;

private:
    std::string name_;
    DisplayCapabilities capabilities_;
};

}  // namespace lunaveil
