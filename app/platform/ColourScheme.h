#pragma once
// Whether the desktop's panel is dark, so that the tray icon can be drawn to stay visible on it.

#include <QDBusConnection>
#include <QString>

#include <filesystem>
#include <optional>
#include <vector>

namespace lunaveil {

// The freedesktop appearance setting, then the GTK theme name, read afresh on each call:
// the settings portal's org.freedesktop.appearance color-scheme when a portal answers with a
// preference (1 dark, 2 light); else GTK_THEME; else the gtk-theme-name of the desktop's GTK
// settings.ini files. A theme name is dark when it contains "dark" in any letter case.
bool menuBarIsDark();

// The parts of menuBarIsDark, each with its source given, so tests can supply their own.

// The portal's answer on `bus`: dark or light, or nothing when no portal answers within the
// timeout or it states no preference (0).
std::optional<bool> portalPrefersDark(const QDBusConnection& bus);

// The first gtk-theme-name found in <folder>/gtk-4.0/settings.ini, then gtk-3.0/settings.ini,
// for each of `configFolders` in order; nothing when none names a theme.
std::optional<QString> gtkSettingsThemeName(const std::vector<std::filesystem::path>& configFolders);

// $XDG_CONFIG_HOME (or ~/.config), then each folder of $XDG_CONFIG_DIRS (or /etc/xdg), then /etc.
std::vector<std::filesystem::path> gtkConfigFolders();

bool themeNameIsDark(const QString& themeName);

// The fallback when no portal answers: `gtkThemeVariable` (the value of GTK_THEME) when it is
// set and not empty, else the settings files in `configFolders`.
bool gtkThemeIsDark(const std::optional<QString>& gtkThemeVariable,
                    const std::vector<std::filesystem::path>& configFolders);

}  // namespace lunaveil
