#pragma once
// Records every user-action callback of the popover's view controller or presenter, in order.

#include "common/Clock.h"
#include "common/Colour.h"

#include <optional>
#include <string>
#include <vector>

namespace lunaveil::testing {

struct PopoverCalls {
    std::vector<std::string> names;
    std::optional<Colour> colour;
    bool flag = false;
    double alpha = -1;
    TimePoint start{};
    TimePoint stop{};

    // Installs a recording handler as each of the eleven callbacks of target.
    template <typename Target>
    void recordFrom(Target& target)
    {
        target.onBackgroundColorChanged = [this](std::optional<Colour> c, bool trueColor) {
            add("onBackgroundColorChanged");
            colour = c;
            flag = trueColor;
        };
        target.onBackgroundCustomColorSelected = [this](const Colour& c) {
            add("onBackgroundCustomColorSelected");
            colour = c;
        };
        target.onBackgroundAlphaChanged = [this](double a) {
            add("onBackgroundAlphaChanged");
            alpha = a;
        };
        target.onStartAtLoginPreferencesChanged = [this](bool on) { add("onStartAtLoginPreferencesChanged", on); };
        target.onScheduleIsActivePreferencesChanged = [this](bool active, TimePoint from, TimePoint to) {
            add("onScheduleIsActivePreferencesChanged", active);
            start = from;
            stop = to;
        };
        target.onLightMonitorNowChanged = [this](bool on) { add("onLightMonitorNowChanged", on); };
        target.onInverseColorsChanged = [this](bool on) { add("onInverseColorsChanged", on); };
        target.onHelpRequest = [this] { add("onHelpRequest"); };
        target.onInverseColorsHelpRequest = [this] { add("onInverseColorsHelpRequest"); };
        target.onTrueColorsHelpRequest = [this] { add("onTrueColorsHelpRequest"); };
        target.onQuitRequest = [this] { add("onQuitRequest"); };
    }

private:
    void add(const char* name, std::optional<bool> value = std::nullopt)
    {
        names.emplace_back(name);
        if (value)
            flag = *value;
    }
};

}  // namespace lunaveil::testing
