#pragma once
// The text of Lunaveil's autostart entry, and its Exec value quoted by the Desktop Entry rules.

#include <optional>
#include <string>
#include <string_view>

namespace lunaveil {

// Why the program at `path` cannot be named in an Exec key, or nothing when it can: it must be
// an absolute path of valid UTF-8 without control characters (a desktop entry is UTF-8 text of
// one line per key, and an autostarted program has no working folder to be relative to).
std::optional<std::string> execPathProblem(std::string_view path);

// The Exec value that runs `path` with no arguments: double-quoted when it holds a reserved
// character, '%' doubled, then escaped as a string value. Nothing when execPathProblem() objects.
std::optional<std::string> execValue(std::string_view path);

// The whole autostart entry that runs the launcher at `launcherPath` at login; nothing as for execValue().
std::optional<std::string> autostartEntry(std::string_view launcherPath);

}  // namespace lunaveil
