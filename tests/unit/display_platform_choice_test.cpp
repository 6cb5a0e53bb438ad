// The choice of display platform as a table: what the session says and offers in, platform and abilities out.

#include "platform/DisplayPlatformChoice.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lunaveil;

namespace {

// What each display server answers.
enum Offers { nothing = 0, waylandAnswers = 1, xAnswers = 2, xGamma = 4, xIsXWayland = 8, waylandGamma = 16, layerShell = 32, mutterGamma = 64 };

SessionFacts session(const char* waylandDisplay, const char* display, const char* desktop, const char* qt, int offers)
{
    const auto has = [offers](int offer) { return (offers & offer) != 0; };
    return {waylandDisplay, display, desktop, qt, has(waylandAnswers), has(waylandGamma), has(layerShell),
            has(mutterGamma), has(xAnswers), has(xGamma), has(xIsXWayland)};
}

struct Row {
    const char* what;
    SessionFacts session;
    DisplayPlatformKind kind;
    const char* name;
    DisplayCapabilities capabilities;  // transfer, overlays, windows always blend
    std::vector<const char*> notesMention;  // each appears in some note
};

constexpr int x11 = xAnswers | xGamma;
constexpr int xwayland = waylandAnswers | xAnswers | xGamma | xIsXWayland;
using enum DisplayPlatformKind;

const Row rows[] = {
    {"an X11 session", session("", ":0", "XFCE", "xcb", x11), X11, "X11", {true, true, false}, {}},
    {"X11 without RandR: overlays only", session("", ":0", "", "xcb", xAnswers), X11, "X11",
     {false, true, false}, {"no display gamma", "tint is the overlay"}},
    {"X11 with the toolkit elsewhere: gamma only", session("", ":0", "", "offscreen", x11), X11, "X11",
     {true, false, false}, {"goes through the display gamma"}},
    {"sway, Qt on XWayland", session("wayland-1", ":1", "sway", "xcb", xwayland), XWayland, "XWayland (sway)",
     {false, false, true}, {"no display gamma", "would let no click pass"}},
    {"KDE, Qt on XWayland", session("wayland-0", ":1", "KDE", "xcb", xwayland), XWayland, "XWayland (KDE)",
     {false, false, true}, {"would let no click pass"}},
    {"KWin: layer shell, and its gamma kept to Night Light",
     session("wayland-0", ":1", "KDE", "xcb", xwayland | layerShell), Wlroots, "Wayland (KDE)",
     {false, true, true}, {"Night Light", "tint is the overlay"}},
    {"GNOME honours input shapes; its DisplayConfig refused gamma",
     session("wayland-0", ":0", "ubuntu:GNOME", "xcb", xwayland), XWayland, "XWayland (ubuntu)",
     {false, true, true}, {"Mutter lets no program set it", "tint is the overlay"}},
    {"GNOME with Mutter's gamma", session("wayland-0", ":0", "GNOME", "xcb", xwayland | mutterGamma), Gnome,
     "Wayland (GNOME)", {true, true, true}, {}},
    {"GNOME with Mutter's gamma and no XWayland",
     session("wayland-0", "", "GNOME", "wayland", waylandAnswers | mutterGamma), Gnome, "Wayland (GNOME)",
     {true, false, true}, {"goes through the display gamma"}},
    {"GNOME with Qt on Wayland: its windows would be toplevels",
     session("wayland-0", ":0", "GNOME", "wayland", xwayland), XWayland, "XWayland (GNOME)", {false, false, true},
     {"cannot be shown"}},
    {"XWayland found by its outputs though WAYLAND_DISPLAY is unset",
     session("", ":1", "", "xcb", xwayland & ~waylandAnswers), XWayland, "XWayland", {false, false, true}, {}},
    {"sway whose outputs take gamma control, whatever Qt runs on",
     session("wayland-1", ":1", "sway", "xcb", xwayland | waylandGamma), Wlroots, "Wayland (sway)",
     {true, false, true}, {"goes through the display gamma"}},
    {"headless sway: layer shell, but no output takes gamma",
     session("wayland-1", ":1", "sway", "xcb", xwayland | layerShell), Wlroots, "Wayland (sway)",
     {false, true, true}, {"tint is the overlay"}},
    {"a wlroots compositor without XWayland", session("wayland-1", "", "Hyprland", "wayland", waylandAnswers | waylandGamma),
     Wlroots, "Wayland (Hyprland)", {true, false, true}, {}},
    {"a WAYLAND_DISPLAY that does not answer falls back to X11", session("wayland-9", ":0", "", "xcb", x11), X11,
     "X11", {true, true, false}, {"WAYLAND_DISPLAY=wayland-9 does not answer"}},
    {"a Wayland session without XWayland: nothing yet", session("wayland-1", "", "sway", "wayland", waylandAnswers),
     None, "none", {false, false, false}, {"cannot be shown"}},
    {"a DISPLAY that does not exist, and nothing else", session("", ":99", "", "xcb", nothing), None, "none",
     {false, false, false}, {"DISPLAY=:99 does not answer", "no display gamma"}},
    {"no display at all", session("", "", "", "", nothing), None, "none", {false, false, false},
     {"cannot be shown"}},
};

TEST(DisplayPlatformChoice, FollowsWhatTheSessionSaysAndWhatItsServersOffer)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const DisplayPlatformChoice choice = chooseDisplayPlatform(row.session);
        EXPECT_EQ(choice.kind, row.kind);
        EXPECT_EQ(choice.name, row.name);
        EXPECT_EQ(choice.capabilities, row.capabilities);
        for (const char* mention : row.notesMention) {
            EXPECT_TRUE(std::ranges::any_of(choice.notes, [&](const std::string& note) {
                return note.find(mention) != std::string::npos;
            })) << "no note mentions \"" << mention << "\"";
        }
        if (row.notesMention.empty() && row.capabilities.transfer && row.capabilities.overlays) {
            EXPECT_TRUE(choice.notes.empty()) << "a platform that can do everything says nothing";
        }
    }
}

}  // namespace
