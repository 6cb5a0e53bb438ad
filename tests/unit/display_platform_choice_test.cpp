// The choice of display platform as a table: what the session says and offers in, platform and abilities
// out. KWin, GNOME with and without Mutter's gamma and sway with gamma control are the end-to-end tests'.

#include "platform/DisplayPlatformChoice.h"

#include <gtest/gtest.h>

using namespace lunaveil;

namespace {

// What each display server answers.
enum Offers { nothing = 0, waylandAnswers = 1, xAnswers = 2, xGamma = 4, xIsXWayland = 8, waylandGamma = 16, layerShell = 32, mutterGamma = 64 };
constexpr int x11 = xAnswers | xGamma;
constexpr int xwayland = waylandAnswers | xAnswers | xGamma | xIsXWayland;
using enum DisplayPlatformKind;

TEST(DisplayPlatformChoice, FollowsWhatTheSessionSaysAndWhatItsServersOffer)
{
    const struct {
        const char *what, *waylandDisplay, *display, *desktop, *qt;
        int offers;
        DisplayPlatformKind kind;
        const char* name;
        DisplayCapabilities capabilities;  // transfer, overlays, windows always blend
    } rows[] = {
        {"an X11 session", "", ":0", "XFCE", "xcb", x11, X11, "X11", {true, true, false}},
        {"X11 without RandR: overlays only", "", ":0", "", "xcb", xAnswers, X11, "X11", {false, true, false}},
        {"X11 with the toolkit elsewhere: gamma only", "", ":0", "", "offscreen", x11, X11, "X11", {true, false, false}},
        {"sway, Qt on XWayland", "wayland-1", ":1", "sway", "xcb", xwayland, XWayland, "XWayland (sway)", {false, false, true}},
        {"GNOME honours input shapes; its DisplayConfig refused gamma", "wayland-0", ":0", "ubuntu:GNOME", "xcb",
         xwayland, XWayland, "XWayland (ubuntu)", {false, true, true}},
        {"XWayland found by its outputs, WAYLAND_DISPLAY unset", "", ":1", "", "xcb", xwayland & ~waylandAnswers,
         XWayland, "XWayland", {false, false, true}},
        {"a WAYLAND_DISPLAY that does not answer falls back to X11", "wayland-9", ":0", "", "xcb", x11, X11, "X11",
         {true, true, false}},
        {"a Wayland session without XWayland: nothing yet", "wayland-1", "", "sway", "wayland", waylandAnswers, None,
         "none", {false, false, false}},
        {"a DISPLAY that does not exist", "", ":99", "", "xcb", nothing, None, "none", {false, false, false}},
        {"no display at all", "", "", "", "", nothing, None, "none", {false, false, false}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto has = [&row](int offer) { return (row.offers & offer) != 0; };
        const DisplayPlatformChoice choice = chooseDisplayPlatform(
            {row.waylandDisplay, row.display, row.desktop, row.qt, has(waylandAnswers), has(waylandGamma),
             has(layerShell), has(mutterGamma), has(xAnswers), has(xGamma), has(xIsXWayland)});
        EXPECT_EQ(choice.kind, row.kind);
        EXPECT_EQ(choice.name, row.name);
        EXPECT_EQ(choice.capabilities, row.capabilities);
        // A platform short of something says why; one that does everything says nothing.
        const bool full = row.capabilities.transfer && row.capabilities.overlays;
        EXPECT_EQ(choice.notes.empty(), full && std::string_view(row.waylandDisplay) != "wayland-9");
    }
}

}  // namespace
