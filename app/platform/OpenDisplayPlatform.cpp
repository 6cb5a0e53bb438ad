#include "platform/OpenDisplayPlatform.h"

#include "platform/DisplayPlatformChoice.h"
#include "platform/x11/X11Platform.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace lunaveil {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Whether a compositor accepts connections on the socket $WAYLAND_DISPLAY names (a path, or a
// name in $XDG_RUNTIME_DIR), as a Wayland client would connect.
bool waylandAnswers(const std::string& waylandDisplay)
{
    if (waylandDisplay.empty())
        return false;
    std::filesystem::path socketPath = waylandDisplay;
    if (socketPath.is_relative()) {
        const std::string runtime = environment("XDG_RUNTIME_DIR");
        if (runtime.empty())
            return false;
        socketPath = std::filesystem::path(runtime) / socketPath;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& name = socketPath.native();
    if (name.size() >= sizeof(address.sun_path))
        return false;
    name.copy(address.sun_path, name.size());
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const bool connected = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(socket);
    return connected;
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
    session.waylandAnswers = waylandAnswers(session.waylandDisplay);
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
