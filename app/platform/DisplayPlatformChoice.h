#pragma once
// Which display platform serves this session, decided from what the session says and what
// its display servers offer; plain data in and out, so that every case can be tested.

#include "platform/DisplayPlatform.h"

#include <string>
#include <vector>

namespace lunaveil {

struct SessionFacts {
    std::string waylandDisplay;  // $WAYLAND_DISPLAY
    std::string display;         // $DISPLAY
    std::string currentDesktop;  // $XDG_CURRENT_DESKTOP, such as "sway" or "ubuntu:GNOME"
    std::string qtPlatform;      // the toolkit's platform plugin: "xcb", "wayland", "offscreen", ...
    bool waylandAnswers = false;  // a compositor accepts connections at $WAYLAND_DISPLAY
    bool waylandGamma = false;     // ... and an output of it takes wlroots' gamma control
    bool waylandOverlays = false;  // ... and it offers wlroots' layer shell (and what overlays need)
    bool mutterGamma = false;      // Mutter's DisplayConfig on the session bus lets its CRTCs' gamma be read
    bool xAnswers = false;        // an X server answers at $DISPLAY
    bool xHasGamma = false;       // ... with RandR 1.2 gamma ramps
    bool xIsXWayland = false;     // ... and it is XWayland
};

enum class DisplayPlatformKind {
    Wlroots,   // a Wayland compositor with wlroots' protocols: gamma control, layer-shell overlays
    Gnome,     // Mutter on Wayland: gamma through its DisplayConfig, overlays through XWayland
    X11,       // an X server that drives the screens: RandR gamma, override-redirect overlays
    XWayland,  // X11 through a Wayland compositor: no gamma reaches a screen
    None,
};

struct DisplayPlatformChoice {
    DisplayPlatformKind kind = DisplayPlatformKind::None;
    std::string name;  // see DisplayPlatform::name()
    DisplayCapabilities capabilities;
    // A compositor that keeps the display gamma to its own Night Light: the way to a gamma tint there.
    enum class GammaKeptBy { Nobody, KWin, Mutter } gammaKeptBy = GammaKeptBy::Nobody;
    // One line each for stderr: a session variable that lied, and what this platform cannot do.
    std::vector<std::string> notes;
};

DisplayPlatformChoice chooseDisplayPlatform(const SessionFacts& session);

}  // namespace lunaveil
