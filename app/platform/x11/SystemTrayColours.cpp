#include "platform/x11/SystemTrayColours.h"

#include "platform/x11/QtXcbConnection.h"
#include "platform/x11/XcbReply.h"

#include <algorithm>
#include <string>

namespace lunaveil {
namespace {

xcb_atom_t atom(xcb_connection_t* connection, const std::string& name)
{
    const auto reply = waitFor(xcb_intern_atom_reply, connection,
                               xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The screen of $DISPLAY (":0.1" is screen 1), on which Qt opens its windows.
int defaultScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    if (dot < display.lastIndexOf(':') || dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok && screen >= 0 ? screen : 0;
}

}  // namespace

std::optional<QColor> trayForegroundOf(std::span<const std::uint32_t> colours)
{
    if (colours.size() < 3)
        return std::nullopt;
    const auto channel = [](std::uint32_t value) { return static_cast<int>(std::min<std::uint32_t>(value, 65535) >> 8); };
    return QColor(channel(colours[0]), channel(colours[1]), channel(colours[2]));
}

std::optional<QColor> systemTrayForeground()
{
    xcb_connection_t* connection = qtXcbConnection();
    if (connection == nullptr)
        return std::nullopt;
    // The tray of the screen Qt's windows are on: _NET_SYSTEM_TRAY_S<n>.
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(defaultScreenNumber());
    const auto owner = waitFor(xcb_get_selection_owner_reply, connection,
                               xcb_get_selection_owner(connection, atom(connection, selection)));
    if (!owner || owner->owner == XCB_NONE)
        return std::nullopt;
    const auto property = waitFor(xcb_get_property_reply, connection,
                                  xcb_get_property(connection, 0, owner->owner, atom(connection, "_NET_SYSTEM_TRAY_COLORS"),
                                                   XCB_ATOM_CARDINAL, 0, 12));
    if (!property || property->format != 32)
        return std::nullopt;
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
    return trayForegroundOf(std::span(values, static_cast<std::size_t>(xcb_get_property_value_length(property.get())) / 4));
}

}  // namespace lunaveil
