#pragma once
// Registers Lunaveil's launcher to start at login, through an XDG autostart entry.

#include "shell/Collaborators.h"

#include <filesystem>
#include <optional>
#include <string>

namespace lunaveil {

class SystemConfigurationService final : public LoginItem {
public:
    // The launcher installed beside this program, and the user's $XDG_CONFIG_HOME.
    SystemConfigurationService();
    // `launcher` is the program to register and start; `configHome` stands for $XDG_CONFIG_HOME.
    SystemConfigurationService(std::filesystem::path launcher, std::filesystem::path configHome);

    // On: writes the autostart entry durably, then starts the launcher at once, as a login would.
    // Off: removes the entry. A failure is also told on stderr.
    std::optional<std::string> startAtLogin(bool enabled) override;

    // $XDG_CONFIG_HOME/autostart/com.quorvex.LunaveilLauncher.desktop
    std::filesystem::path entryPath() const;

    // <prefix>/bin/lunaveil -> <prefix>/libexec/lunaveil/lunaveil-launcher, the installed layout
    // and the build tree's alike.
    static std::filesystem::path launcherBeside(const std::filesystem::path& program);

private:
    std::optional<std::string> registerLauncher() const;
    std::optional<std::string> unregisterLauncher() const;

    std::filesystem::path launcher_;
    std::filesystem::path configHome_;
};

}  // namespace lunaveil
