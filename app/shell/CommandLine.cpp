#include "CommandLine.h"

#include <algorithm>
#include <utility>

namespace lunaveil {

CommandLineAction commandLineAction(const std::vector<std::string_view>& arguments)
{
    static constexpr std::pair<std::string_view, CommandLineAction> options[] = {
        {"--help", CommandLineAction::Help},  {"-h", CommandLineAction::Help},
        {"--version", CommandLineAction::Version}, {"--reset", CommandLineAction::Reset},
        {"--on", CommandLineAction::TintOn},  {"--off", CommandLineAction::TintOff},
        {"--toggle", CommandLineAction::Toggle}, {"--status", CommandLineAction::Status},
        {"--quit", CommandLineAction::Quit},
    };
    // The first option decides; the program's own path is not an option.
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const auto* option = std::find_if(std::begin(options), std::end(options),
                                          [&](const auto& entry) { return entry.first == arguments[i]; });
        if (option != std::end(options))
            return option->second;
    }
    return CommandLineAction::Run;
}

bool commandLineAsksForJson(const std::vector<std::string_view>& arguments)
{
    return std::find(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end(), "--json") != arguments.end();
}

std::string_view usageText()
{
    return "Usage: lunaveil [--on | --off | --toggle | --status [--json] | --quit | --reset | --help | --version]\n"
           "\n"
           "Lunaveil tints every screen at night from the system tray.\n"
           "\n"
           "  --on, --off   switch the running Lunaveil's tint on or off\n"
           "  --toggle      switch it off when it is on, and on when it is off\n"
           "  --status      say what the running Lunaveil shows; with --json, as a JSON object\n"
           "  --quit        quit the running Lunaveil\n"
           "  --reset       give every display back the colours it had before a Lunaveil\n"
           "                that did not quit properly changed them, then exit\n"
           "  --help        show this help and exit\n"
           "  --version     show the version and exit\n"
           "\n"
           "The first five talk to the running Lunaveil over the session bus\n"
           "(com.quorvex.Lunaveil1) and exit 1 when none runs. To toggle the tint with a key,\n"
           "bind `lunaveil --toggle`: on GNOME in Settings, Keyboard, Custom Shortcuts; on KDE\n"
           "in System Settings, Shortcuts, Add Command; on sway with\n"
           "`bindsym $mod+n exec lunaveil --toggle` in its config.\n";
}

}  // namespace lunaveil
