#include "platform/OpenDisplayPlatform.h"

#include "platform/DisplayPlatformChoice.h"
#include "platform/wayland/WlrootsPlatform.h"
#include "platform/x11/X11Platform.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <xcb/xcb.h>

namespace lunaveil {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool xAnswers()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

}  // namespace

std::unique_ptr<DisplayPlatform> openDisplayPlatform(std::shared_ptr<const RuntimeFolder> journalFolder,
                                                     std::optional<pid_t> journalOwner)
{
    SessionFacts session;
    session.waylandDisplay = environment("WAYLAND_DISPLAY");
    session.display = environment("DISPLAY");
    session.currentDesktop = environment("XDG_CURRENT_DESKTOP");
    if (qGuiApp != nullptr)
        session.qtPlatform = QGuiApplication::platformName().toStdString();
    std::unique_ptr<WaylandConnection> wayland =
        session.waylandDisplay.empty() ? nullptr : WaylandConnection::connect();
    session.waylandAnswers = wayland != nullptr;
    session.waylandGamma = wayland && WlrGamma::anyOutputAccepts(*wayland);
    session.waylandOverlays = wayland && LayerShellOverlays::offeredBy(*wayland);
    std::unique_ptr<RandrCrtcs> crtcs = session.display.empty() ? nullptr : RandrCrtcs::create();
    session.xAnswers = crtcs != nullptr || (!session.display.empty() && xAnswers());
    session.xHasGamma = crtcs != nullptr;
    session.xIsXWayland = crtcs != nullptr && crtcs->isXWayland();

    const DisplayPlatformChoice choice = chooseDisplayPlatform(session);
    // `lunaveil --reset` runs without the toolkit's display and only gives gamma back: what the
    // tint could do there is no news to it.
    if (qGuiApp != nullptr) {
        std::fprintf(stderr, "Lunaveil: display platform %s.\n", choice.name.c_str());
        for (const std::string& note : choice.notes)
            std::fprintf(stderr, "Lunaveil: %s.\n", note.c_str());
    }

    switch (choice.kind) {
    case DisplayPlatformKind::Wlroots:
        return std::make_unique<WlrootsPlatform>(choice.name, choice.capabilities, std::move(wayland));
    case DisplayPlatformKind::X11:
    case DisplayPlatformKind::XWayland:
        return std::make_unique<X11Platform>(
            choice.name, choice.capabilities, std::move(crtcs),
            GammaJournal(std::move(journalFolder), RandrCrtcs::canonicalDisplayName(), journalOwner));
    case DisplayPlatformKind::None:
        break;
    }
    return std::make_unique<DisplayPlatform>(choice.name, choice.capabilities);
}

}  // namespace lunaveil
