#pragma once
// The colours an XEmbed system tray asks its icons to be drawn in (_NET_SYSTEM_TRAY_COLORS of the
// freedesktop system tray protocol, set by the panels of XFCE, MATE and others).

#include <QColor>

#include <cstdint>
#include <optional>
#include <span>

namespace lunaveil {

// The foreground colour set on the tray of Qt's X screen; nothing where Qt runs on no X server,
// no tray runs or it sets no colours.
std::optional<QColor> systemTrayForeground();

// The property's twelve cardinals are the foreground, error, warning and success colours, each
// as red, green and blue in 0..65535: the foreground, or nothing when the value is too short.
std::optional<QColor> trayForegroundOf(std::span<const std::uint32_t> colours);

}  // namespace lunaveil
