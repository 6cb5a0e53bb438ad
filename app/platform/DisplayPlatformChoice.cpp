#include "platform/DisplayPlatformChoice.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace lunaveil {
namespace {

bool sameText(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

// XDG_CURRENT_DESKTOP is a colon-separated list, such as "ubuntu:GNOME".
bool desktopIs(std::string_view currentDesktop, std::string_view name)
{
    while (!currentDesktop.empty()) {
        const std::size_t end = std::min(currentDesktop.find(':'), currentDesktop.size());
        if (sameText(currentDesktop.substr(0, end), name))
            return true;
        currentDesktop.remove_prefix(std::min(end + 1, currentDesktop.size()));
    }
    return false;
}

// The compositor of the session, for people; empty when it does not say.
std::string compositorName(const SessionFacts& session)
{
    const std::string_view desktop = session.currentDesktop;
    return std::string(desktop.substr(0, desktop.find(':')));
}

// Only Mutter lets clicks pass through an XWayland window's empty input shape; sway and KWin
// give them to the window whatever its shape says.
bool honoursXWaylandInputShapes(const SessionFacts& session)
{
    return desktopIs(session.currentDesktop, "GNOME");
}

}  // namespace

DisplayPlatformChoice chooseDisplayPlatform(const SessionFacts& session)
{
    DisplayPlatformChoice choice;
    if (!session.waylandDisplay.empty() && !session.waylandAnswers)
        choice.notes.push_back("WAYLAND_DISPLAY=" + session.waylandDisplay + " does not answer; it is not used");
    if (!session.display.empty() && !session.xAnswers)
        choice.notes.push_back("DISPLAY=" + session.display + " does not answer; it is not used");

    const bool qtOnX = session.qtPlatform == "xcb";
    const std::string compositor = compositorName(session);
    if (session.waylandAnswers && (session.waylandGamma || session.waylandOverlays)) {
        choice.kind = DisplayPlatformKind::Wlroots;
        choice.name = compositor.empty() ? std::string("Wayland") : "Wayland (" + compositor + ")";
        choice.capabilities = {
            .transfer = session.waylandGamma, .overlays = session.waylandOverlays, .windowsAlwaysBlend = true};
        if (!session.waylandGamma && desktopIs(session.currentDesktop, "KDE"))
            choice.gammaKeptBy = DisplayPlatformChoice::GammaKeptBy::KWin;
    } else if (session.xAnswers && !session.xIsXWayland) {
        choice.kind = DisplayPlatformKind::X11;
        choice.name = "X11";
        choice.capabilities = {.transfer = session.xHasGamma, .overlays = qtOnX, .windowsAlwaysBlend = false};
    } else if (session.waylandAnswers && session.mutterGamma) {
        choice.kind = DisplayPlatformKind::Gnome;
        choice.name = compositor.empty() ? std::string("Wayland") : "Wayland (" + compositor + ")";
        choice.capabilities = {.transfer = true,
                               .overlays = session.xAnswers && qtOnX && honoursXWaylandInputShapes(session),
                               .windowsAlwaysBlend = true};
    } else if (session.xAnswers) {
        choice.kind = DisplayPlatformKind::XWayland;
        choice.name = compositor.empty() ? std::string("XWayland") : "XWayland (" + compositor + ")";
        choice.capabilities = {.transfer = false,
                               .overlays = qtOnX && honoursXWaylandInputShapes(session),
                               .windowsAlwaysBlend = true};
        if (session.waylandAnswers && desktopIs(session.currentDesktop, "GNOME"))
            choice.gammaKeptBy = DisplayPlatformChoice::GammaKeptBy::Mutter;
    } else {
        choice.name = "none";
    }

    const DisplayCapabilities& can = choice.capabilities;
    if (!can.transfer) {
        using enum DisplayPlatformChoice::GammaKeptBy;
        const std::string keeper = choice.gammaKeptBy == KWin     ? " (KWin keeps it to Plasma's Night Light)"
                                   : choice.gammaKeptBy == Mutter ? " (Mutter lets no program set it here)"
                                                                  : "";
        std::string noGamma = "no display gamma here";
        noGamma.append(keeper).append(": True Colors and Invert Colors are not available");
        choice.notes.push_back(can.overlays ? noGamma + ", and the tint is the overlay" : noGamma);
    }
    if (!can.overlays) {
        if (choice.kind == DisplayPlatformKind::XWayland && qtOnX)
            choice.notes.push_back("no overlay windows: this compositor would let no click pass through them");
        else if (can.transfer)
            choice.notes.push_back("no overlay windows: the tint goes through the display gamma");
        else
            choice.notes.push_back("no overlay windows: the tint cannot be shown");
    }
    return choice;
}

}  // namespace lunaveil
