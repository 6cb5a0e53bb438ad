#pragma once
// The few options Lunaveil answers on the command line; anything else starts it as usual.

#include <string_view>
#include <vector>

namespace lunaveil {

enum class CommandLineAction {
    Run,
    Help,
    Version,
    Reset,
    // Told to the running Lunaveil over the session bus.
    TintOn,
    TintOff,
    Toggle,
    Status,
    Quit,
};

CommandLineAction commandLineAction(const std::vector<std::string_view>& arguments);
// Whether --status is to print JSON (--json).
bool commandLineAsksForJson(const std::vector<std::string_view>& arguments);

// The text --help prints.
std::string_view usageText();

}  // namespace lunaveil
