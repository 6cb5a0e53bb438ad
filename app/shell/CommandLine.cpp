#include "CommandLine.h"

namespace lunaveil {

CommandLineAction commandLineAction(const std::vector<std::string_view>& arguments)
{
    // The first of the three options decides; the program's own path is not an option.
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "-h")
            return CommandLineAction::Help;
        if (argument == "--version")
            return CommandLineAction::Version;
        if (argument == "--reset")
            return CommandLineAction::Reset;
    }
    return CommandLineAction::Run;
}

std::string_view usageText()
{
    return "Usage: lunaveil [--reset | --help | --version]\n"
           "\n"
           "Lunaveil tints every screen at night from the system tray.\n"
           "\n"
           "  --reset    give every display back the colours it had before a Lunaveil\n"
           "             that did not quit properly changed them, then exit\n"
           "  --help     show this help and exit\n"
           "  --version  show the version and exit\n";
}

}  // namespace lunaveil
