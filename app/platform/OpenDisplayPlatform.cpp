#include "platform/OpenDisplayPlatform.h"

#include "platform/DisplayPlatformChoice.h"
#include "platform/gnome/GnomePlatform.h"
#include "platform/wayland/KWinNightLight.h"
#include "platform/wayland/WlrootsPlatform.h"
#include "platform/x11/X11Platform.h"

#include <QCoreApplication>
#include <QDBusConnection>
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
    // Mutter offers neither of wlroots' protocols; its DisplayConfig is asked only then.
    std::unique_ptr<MutterCrtcs> mutter = wayland && !session.waylandGamma && !session.waylandOverlays
                                              ? MutterCrtcs::create(QDBusConnection::sessionBus())
                                              : nullptr;
    session.mutterGamma = mutter != nullptr;
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

    std::unique_ptr<DisplayPlatform> platform;
    switch (choice.kind) {
    case DisplayPlatformKind::Wlroots:
        platform = std::make_unique<WlrootsPlatform>(choice.name, choice.capabilities, std::move(wayland));
        break;
    case DisplayPlatformKind::Gnome:
        // Mutter's gamma is the session's, whichever Wayland display names it.
        platform = std::make_unique<GnomePlatform>(choice.name, choice.capabilities, std::move(mutter),
                                                   GammaJournal(std::move(journalFolder), "mutter", journalOwner),
                                                   std::move(crtcs));
        break;
    case DisplayPlatformKind::X11:
    case DisplayPlatformKind::XWayland:
        platform = std::make_unique<X11Platform>(
            choice.name, choice.capabilities, std::move(crtcs),
            GammaJournal(std::move(journalFolder), RandrCrtcs::canonicalDisplayName(), journalOwner));
        break;
    case DisplayPlatformKind::None:
        platform = std::make_unique<DisplayPlatform>(choice.name, choice.capabilities);
        break;
    }
    switch (choice.gammaKeptBy) {
    case DisplayPlatformChoice::GammaKeptBy::KWin:
        // Asked each time the popover shows: the user may turn Night Light on or off meanwhile.
        platform->whyNoDisplayGamma = [] {
            return kwinTrueColorsNote(kwinNightLightRunning(QDBusConnection::sessionBus()));
        };
        break;
    case DisplayPlatformChoice::GammaKeptBy::Mutter:
        platform->whyNoDisplayGamma = [] {
            return QCoreApplication::translate("lunaveil::OpenDisplayPlatform",
                                               "Mutter lets Lunaveil set no display gamma here, so the tint is an "
                                               "overlay. For a tint through the gamma, use GNOME's own Night Light: "
                                               "Settings, Displays, Night Light.")
                .toStdString();
        };
        break;
    case DisplayPlatformChoice::GammaKeptBy::Nobody:
        break;
    }
    return platform;
}

}  // namespace lunaveil
